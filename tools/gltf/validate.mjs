// Runs the Khronos glTF validator on each file given and prints its counts
// and messages; exits 1 when any file has an error or a warning.
// Usage: node tools/gltf/validate.mjs FILE.glb...
import { readFile } from 'node:fs/promises';
import { basename } from 'node:path';
import validator from 'gltf-validator';

const SEVERITY = ['error', 'warning', 'info', 'hint'];
let failed = false;
for (const file of process.argv.slice(2)) {
  const report = await validator.validateBytes(new Uint8Array(await readFile(file)), {
    uri: basename(file),
    externalResourceFunction: (uri) => Promise.reject(new Error(`no external resources: ${uri}`)),
  });
  const { numErrors, numWarnings, numInfos, numHints } = report.issues;
  console.log(`${file}: ${numErrors} errors, ${numWarnings} warnings, ${numInfos} infos, ${numHints} hints`);
  for (const message of report.issues.messages) {
    console.log(`  ${SEVERITY[message.severity]} ${message.code} ${message.pointer ?? ''}: ${message.message}`);
  }
  failed ||= numErrors > 0 || numWarnings > 0;
}
process.exit(failed ? 1 : 0);
