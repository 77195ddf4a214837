#!/usr/bin/env node
// usage: node check_reflow.js CHAPTER.xhtml OUTDIR
// Opens one unpacked chapter of a reflowable book in headless chromium at a
// phone's width (360 CSS px) and at a tablet's (800), takes a screenshot of
// each (phone.png, tablet.png in OUTDIR) and counts the lines its paragraphs
// are laid out in. The text reflows when the narrow screen takes more lines
// and no line is wider than the screen.
// Prints "phone N lines, tablet M lines"; exit 0 when the text reflowed.
// Env: ACE_DIR (node_modules holding puppeteer-core), CHROMIUM (binary).
'use strict';
const fs = require('fs');
const path = require('path');
const { pathToFileURL } = require('url');

const aceDir = process.env.ACE_DIR;
if (!aceDir) throw new Error('ACE_DIR must name the folder install.sh installed into');
const puppeteer = require(path.join(aceDir, 'node_modules', 'puppeteer-core'));

async function main() {
  const [chapter, outDir] = process.argv.slice(2);
  if (!chapter || !outDir) {
    console.error('usage: check_reflow.js CHAPTER.xhtml OUTDIR');
    return 2;
  }
  fs.mkdirSync(outDir, { recursive: true });
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    pipe: true,
    args: ['--no-sandbox', '--disable-gpu', '--font-render-hinting=none', '--hide-scrollbars'],
  });
  const counts = {};
  let failures = 0;
  try {
    for (const [name, width, height] of [['phone', 360, 640], ['tablet', 800, 1280]]) {
      const page = await browser.newPage();
      await page.setRequestInterception(true);
      page.on('request', r => (r.url().startsWith('file:') ? r.continue() : r.abort()));
      await page.setViewport({ width, height, deviceScaleFactor: 1 });
      await page.goto(pathToFileURL(path.resolve(chapter)).href, { waitUntil: 'load' });
      await page.screenshot({ path: path.join(outDir, name + '.png') });
      const laid = await page.evaluate(() => {
        let lines = 0;
        let widest = 0;
        for (const p of document.querySelectorAll('p')) {
          const range = document.createRange();
          range.selectNodeContents(p);
          const tops = new Set();
          for (const r of range.getClientRects()) {
            if (r.width > 0) tops.add(Math.round(r.top));
            widest = Math.max(widest, r.right);
          }
          lines += tops.size;
        }
        return { lines, widest };
      });
      counts[name] = laid.lines;
      if (laid.widest > width + 1) {
        console.log(`${name}: a line reaches ${laid.widest} px, past the screen's ${width}`);
        failures++;
      }
      await page.close();
    }
  } finally {
    await browser.close();
  }
  console.log(`phone ${counts.phone} lines, tablet ${counts.tablet} lines`);
  if (!(counts.tablet > 0 && counts.phone > counts.tablet)) failures++;
  return failures ? 1 : 0;
}

main().then(code => process.exit(code), e => { console.error(e); process.exit(1); });
