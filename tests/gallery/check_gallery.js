// The gallery in a real browser: an archive of the export test models and of
// hostile entry names, a folder and a model, converted with --gallery, and
// its index.html opened by its file:// URL in Debian's Chromium, headless,
// WebGL through SwiftShader, with no flag that loosens file access.
//
// Every thumbnail must decode; every model must be named by its path inside
// its input, under that input's heading; the filter must narrow the grid.
// Every model must open, the view must say so, and its animations and skins
// must be its GLB's; playing an animation and choosing another skin must
// change the picture. No console error, no request outside the gallery's
// folder, no element a name brought in. Then the same check must fail on
// copies of the gallery without one model's script and without the viewer.
//
// Usage: node check_gallery.js MDLHOST MAKE_EXPORT_MODELS WORK
'use strict';

const assert = require('assert');
const childProcess = require('child_process');
const fs = require('fs');
const path = require('path');
const chromium = require('../../tools/gallery/chromium');

const [mdlhost, makeModels, work] = process.argv.slice(2);

// Entry names from strangers' archives, and the text the page must show for
// each, as a converted model's name or in the list of those refused: its
// path inside the archive. Its path as given is its tooltip.
const HOSTILE_NAMES = [
  {entry: "progs/a&b'c.mdl", shown: "progs/a&b'c.mdl", converted: true},
  {entry: 'progs/50%#1 и.mdl', shown: 'progs/50%#1 и.mdl', converted: true},
  {entry: 'index.mdl', shown: 'index.mdl', converted: true},
  {entry: 'index.html.mdl', shown: 'index.html.mdl', converted: true},
  {entry: 'INDEX_FILES/gallery.mdl', shown: 'INDEX_FILES/gallery.mdl', converted: true},
  {entry: 'gallery/x.mdl', shown: 'gallery/x.mdl', converted: true},
  // One long name without a '/' to wrap at after it.
  {entry: 'progs/fab_progs_ammo_explosives_large_long_name.mdl',
    shown: 'progs/fab_progs_ammo_explosives_large_long_name.mdl', converted: true},
  {entry: 'progs/</script>.mdl', shown: 'progs/</script>.mdl', converted: false},
  {entry: 'progs/<b id=x>.mdl', shown: 'progs/<b id=x>.mdl', converted: false},
  {entry: 'progs/<svg onload=alert(1)>.mdl', shown: 'progs/<svg onload=alert(1)>.mdl', converted: false},
  {entry: 'progs/q"uote.mdl', shown: 'progs/q"uote.mdl', converted: false},
  {entry: Buffer.from('progs/\xff\xfe.mdl', 'latin1'), shown: 'progs/ÿþ.mdl', converted: false},
];
// Beside the archive, a folder of one model and a model named alone: each
// input a heading of its own, those named alone one between them.
const INPUTS = ['game.pak', 'extra', 'solo.mdl'];
const HEADINGS = ['game.pak', 'extra', 'Single files'];
const OPEN_TIMEOUT = 30000;

// A Quake archive of the given entries: "PACK", the directory's offset and
// size, the files, then 64 bytes an entry (56 of name, offset, size).
function pak(entries) {
  let offset = 12;
  const directory = Buffer.alloc(64 * entries.length);
  entries.forEach(({name, bytes}, i) => {
    Buffer.from(name, typeof name === 'string' ? 'utf8' : undefined).copy(directory, 64 * i, 0, 55);
    directory.writeInt32LE(offset, 64 * i + 56);
    directory.writeInt32LE(bytes.length, 64 * i + 60);
    offset += bytes.length;
  });
  const header = Buffer.alloc(12);
  header.write('PACK', 0, 'latin1');
  header.writeInt32LE(offset, 4);
  header.writeInt32LE(directory.length, 8);
  return Buffer.concat([header, ...entries.map((entry) => entry.bytes), directory]);
}

// The animation and variant names of a GLB, as its JSON chunk holds them.
function glbNames(file) {
  const bytes = fs.readFileSync(file);
  const json = JSON.parse(bytes.subarray(20, 20 + bytes.readUInt32LE(12)).toString('utf8'));
  const variants = ((json.extensions || {}).KHR_materials_variants || {}).variants || [];
  return {
    animations: (json.animations || []).map((animation) => animation.name),
    variants: variants.map((variant) => variant.name),
    skins: (json.materials || []).length,
  };
}

// Everything wrong with the gallery in dir, as a list; empty when all holds.
async function checkGallery(browser, dir, {pictures = true} = {}) {
  const failures = [];
  const page = await browser.newPage();
  await page.setViewport({width: 1280, height: 900});
  const root = 'file://' + path.resolve(dir) + '/';
  page.on('console', (message) => {
    if (message.type() === 'error') failures.push('console error: ' + message.text());
  });
  page.on('pageerror', (error) => failures.push('page error: ' + error.message));
  page.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith(root) && !url.startsWith('blob:') && !url.startsWith('data:'))
      failures.push('request outside the gallery: ' + url);
  });
  page.on('requestfailed', (request) => failures.push('request failed: ' + request.url()));
  await page.goto(root + 'index.html', {waitUntil: 'load'});

  // Nothing that a name could have brought in: no element of its own, no
  // handler, no script but the gallery's.
  const injected = await page.evaluate(() => {
    const found = [];
    for (const element of document.querySelectorAll('*')) {
      if (element.id === 'x' || ['B', 'SVG', 'svg', 'IFRAME', 'OBJECT'].includes(element.tagName))
        found.push(element.outerHTML.slice(0, 80));
      for (const attribute of element.getAttributeNames())
        if (attribute.startsWith('on')) found.push(element.tagName + ' ' + attribute);
      if (element.tagName === 'SCRIPT' && !element.getAttribute('src').startsWith('index_files/'))
        found.push('script ' + element.outerHTML.slice(0, 80));
    }
    return found;
  });
  for (const element of injected) failures.push('injected: ' + element);

  const thumbnails = await page.$$eval('img.thumb', (images) => Promise.all(images.map((image) =>
    image.decode().then(() => image.naturalWidth > 0 ? '' : image.src, () => image.getAttribute('src')))));
  for (const src of thumbnails.filter(Boolean)) failures.push('thumbnail does not decode: ' + src);

  const named = await page.$$eval('.model, #unconverted li', (nodes) => nodes.map((node) => ({
    shown: node.querySelector('h3, .path').textContent, tooltip: node.title,
  })));
  for (const name of HOSTILE_NAMES) {
    if (!named.some(({shown, tooltip}) => shown === name.shown && tooltip === 'game.pak/' + name.shown))
      failures.push('not shown as text with its path as given: ' + name.shown);
  }
  // Every card's text stays inside its card, and the page does not scroll
  // sideways.
  const spilling = await page.evaluate(() => {
    const found = [];
    for (const card of document.querySelectorAll('.model')) {
      const box = card.getBoundingClientRect();
      for (const part of card.querySelectorAll('h3, button.name, .counts')) {
        const inner = part.getBoundingClientRect();
        if (inner.left < box.left - 0.5 || inner.right > box.right + 0.5) found.push(card.dataset.path);
      }
    }
    if (document.documentElement.scrollWidth > window.innerWidth) found.push('the page scrolls sideways');
    return [...new Set(found)];
  });
  for (const card of spilling) failures.push('a card\'s text leaves its card: ' + card);
  const headings = await page.$$eval('.input > h2', (nodes) => nodes.map((node) => node.textContent));
  if (headings.join() !== HEADINGS.join()) failures.push('the headings are ' + headings.join());

  // The filter keeps the paths as given that hold every word, in any case,
  // and the headings of what it keeps.
  const filtered = async (words) => {
    await page.$eval('#filter', (filter) => { filter.value = ''; });
    await page.type('#filter', words);
    return page.evaluate(() => ({
      cards: Array.from(document.querySelectorAll('.model:not([hidden]) h3'), (node) => node.textContent),
      headings: Array.from(document.querySelectorAll('.input:not([hidden]) > h2'), (node) => node.textContent),
    }));
  };
  const hostile = await filtered('NAMES hostile');
  if (hostile.cards.join() !== 'progs/hostile_names.mdl' || hostile.headings.join() !== 'game.pak')
    failures.push(`the filter keeps ${hostile.cards.join()} under ${hostile.headings.join()}`);
  const archive = await filtered('GAME.pak');
  const inArchive = await page.$$eval('#input-0 ~ .grid .model', (nodes) => nodes.length);
  if (archive.cards.length !== inArchive || archive.headings.join() !== 'game.pak')
    failures.push(`filtered by the archive's name, ${archive.cards.length} of its ${inArchive} under ${archive.headings}`);
  await page.$eval('#filter', (filter) => { filter.value = ''; filter.dispatchEvent(new Event('input')); });

  const cards = await page.$$eval('.model', (nodes) => nodes.map((node) => ({
    index: node.dataset.index, path: node.dataset.path, folder: decodeURIComponent(node.dataset.folder),
    skinGroups: node.dataset.skinGroups ? JSON.parse(node.dataset.skinGroups).length : 0,
  })));
  let skinGroupsPlayed = 0;
  for (const card of cards) {
    const expected = glbNames(path.join(dir, card.folder, 'model.glb'));
    await page.click(`.model[data-index="${card.index}"] button.name`);
    try {
      await page.waitForFunction((index) => {
        const view = document.getElementById('view');
        return view.dataset.model === index && view.dataset.state !== 'loading';
      }, {timeout: OPEN_TIMEOUT}, card.index);
    } catch (error) {
      failures.push(card.path + ': the view did not finish opening it');
      continue;
    }
    const seen = await page.evaluate(() => ({
      state: document.getElementById('view').dataset.state,
      status: document.getElementById('view-status').textContent,
      animations: Array.from(document.querySelectorAll('#animation option'), (option) => option.value).filter(Boolean),
      skins: Array.from(document.querySelectorAll('#skin option'), (option) => option.value).filter(Boolean),
    }));
    if (seen.state !== 'shown' || !seen.status.startsWith('Shown')) {
      failures.push(`${card.path}: not shown (${seen.state}: ${seen.status})`);
      continue;
    }
    const groups = Array.from({length: card.skinGroups}, (_, g) => 'group ' + g);
    const skins = groups.concat(expected.variants.length ? expected.variants : expected.skins === 1 ? ['skin 0'] : []);
    try {
      assert.deepStrictEqual(seen.animations, expected.animations);
      assert.deepStrictEqual(seen.skins, skins);
    } catch (error) {
      failures.push(`${card.path}: the view's animations and skins are not the GLB's: ${error.message}`);
    }
    if (pictures && expected.animations.length && expected.variants.length > 1)
      await checkPictureChanges(page, card.path, failures);
    if (card.skinGroups) {
      await checkSkinGroupPlays(page, card.path, failures);
      ++skinGroupsPlayed;
    }
  }
  await page.close();
  if (pictures && !skinGroupsPlayed) failures.push('no model with a skin group was shown');
  return failures;
}

// A skin group steps through its skins by its key times, chosen from the
// list: every one of its skins is shown within a few of its loops.
async function checkSkinGroupPlays(page, name, failures) {
  await page.select('#skin', 'group 0');
  const shown = await page.evaluate(async () => {
    const viewer = document.getElementById('viewer');
    // What was chosen before goes at the group's first step.
    await new Promise((resolve) => setTimeout(resolve, 200));
    const seen = new Set();
    for (let tries = 0; tries < 60; ++tries) {
      seen.add(viewer.variantName);
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
    return Array.from(seen);
  });
  const wanted = await page.$eval('.model.chosen', (card) => JSON.parse(card.dataset.skinGroups)[0].variants);
  if (wanted.some((variant) => !shown.includes(variant)))
    failures.push(`${name}: its skin group showed ${shown.join(', ')}, not every one of ${wanted.join(', ')}`);
}

// Playing the animation and choosing the last skin each change the
// picture, within a few seconds (the viewer draws when it has the change).
async function checkPictureChanges(page, name, failures) {
  const viewer = await page.$('#viewer');
  const changes = async (from) => {
    for (let tries = 0; tries < 25; ++tries) {
      await new Promise((resolve) => setTimeout(resolve, 200));
      if (!from.equals(await viewer.screenshot())) return true;
    }
    return false;
  };
  const still = await viewer.screenshot();
  await page.click('#play');
  if (!await changes(still)) failures.push(name + ': playing the animation does not change the picture');
  await page.click('#play');
  const paused = await viewer.screenshot();
  const variant = await page.$eval('#skin option:last-child', (option) => option.value);
  await page.select('#skin', variant);
  if (!await changes(paused)) failures.push(name + ': another skin does not change the picture');
}

function copyGallery(from, to, without) {
  fs.rmSync(to, {recursive: true, force: true});
  fs.cpSync(from, to, {recursive: true});
  fs.rmSync(path.join(to, without));
}

async function main() {
  fs.rmSync(work, {recursive: true, force: true});
  const modelsFolder = path.join(work, 'models');
  fs.mkdirSync(modelsFolder, {recursive: true});
  childProcess.execFileSync(makeModels, [modelsFolder]);
  const entries = [];
  for (const file of fs.readdirSync(modelsFolder).sort()) {
    if (file.endsWith('.mdl') && file !== 'long_animation.mdl')  // 20,000 frames: not for a test's minute
      entries.push({name: 'progs/' + file, bytes: fs.readFileSync(path.join(modelsFolder, file))});
  }
  const small = fs.readFileSync(path.join(modelsFolder, 'one_frame.mdl'));
  for (const name of HOSTILE_NAMES) entries.push({name: name.entry, bytes: small});
  fs.writeFileSync(path.join(work, 'game.pak'), pak(entries));
  fs.mkdirSync(path.join(work, 'extra', 'progs'), {recursive: true});
  fs.writeFileSync(path.join(work, 'extra', 'progs', 'one_frame.mdl'), small);
  fs.writeFileSync(path.join(work, 'solo.mdl'), small);

  const gallery = path.join(work, 'gallery');
  const run = childProcess.spawnSync(mdlhost, [...INPUTS, '--export', 'gallery', '--gallery'], {cwd: work});
  const output = run.stdout.toString();
  const refused = HOSTILE_NAMES.filter((name) => !name.converted).length;
  assert.strictEqual(run.status, 1, 'mdlhost exits 1 for the refused names\n' + output + run.stderr);
  assert.ok(output.startsWith(`${entries.length + 2 - refused} converted, ${refused} refused, 0 failed\n`), output);
  assert.ok(output.endsWith('gallery: gallery/index.html\n'), output);

  const browser = await chromium.launch();
  let failed = false;
  try {
    const failures = await checkGallery(browser, gallery);
    for (const failure of failures) console.log('FAILED ' + failure);
    failed = failures.length > 0;
    console.log(`the gallery of ${entries.length} entries: ${failures.length} failures`);

    // The check itself must see a gallery that lacks a file.
    for (const missing of ['index_files/models/0.js', 'index_files/model-viewer.min.js']) {
      const damaged = path.join(work, 'without-' + path.basename(missing));
      copyGallery(gallery, damaged, missing);
      const found = await checkGallery(browser, damaged, {pictures: false});
      console.log(`without ${missing}: ${found.length} failures, the first: ${found[0]}`);
      if (!found.length) {
        console.log('FAILED the check passes a gallery without ' + missing);
        failed = true;
      }
    }
  } finally {
    await browser.close();
  }
  process.exit(failed ? 1 : 0);
}

main().catch((error) => {
  console.log('FAILED ' + (error.stack || error));
  process.exit(1);
});
