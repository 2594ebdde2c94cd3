// A gallery page as a person sees it, taken by the browser the tests use:
// index.html opened from disk in Debian's Chromium (headless, WebGL through
// SwiftShader), the model whose path ends with CHOSEN opened in the view,
// and with "play" its first animation playing.
// Usage: node screenshot.js INDEX_HTML OUT_PNG [CHOSEN [play]]
'use strict';

const path = require('path');
const chromium = require('./chromium');

async function main() {
  const [page_, out, chosen, play] = process.argv.slice(2);
  const browser = await chromium.launch();
  try {
    const page = await browser.newPage();
    await page.setViewport({width: 1280, height: 800});
    await page.goto('file://' + path.resolve(page_), {waitUntil: 'load'});
    if (chosen) {
      const index = await page.$$eval('.model', (cards, end) =>
        cards.find((card) => card.dataset.path.endsWith(end)).dataset.index, chosen);
      await page.click(`.model[data-index="${index}"] button.name`);
      await page.waitForFunction(() => document.getElementById('view').dataset.state === 'shown', {timeout: 30000});
      await new Promise((resolve) => setTimeout(resolve, 1500));  // the viewer's first frames fade in
      if (play === 'play') {
        await page.click('#play');
        await new Promise((resolve) => setTimeout(resolve, 1300));
      }
    }
    await page.screenshot({path: out});
  } finally {
    await browser.close();
  }
}

main().catch((error) => {
  console.error(error.stack || String(error));
  process.exit(1);
});
