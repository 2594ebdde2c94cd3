// Debian's Chromium as the gallery's tests and pictures run it: headless,
// WebGL through SwiftShader, no background traffic, and no flag that
// loosens what a page opened from disk may read.
'use strict';

const puppeteer = require('puppeteer-core');

function launch() {
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader', '--disable-background-networking',
      '--disable-component-update', '--no-first-run'],
  });
}

module.exports = {launch};
