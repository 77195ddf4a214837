#!/usr/bin/env node
// usage: node check_page.js PAGE.xhtml OUTDIR [WORD:LEFT,TOP,WIDTH,HEIGHT ...]
// Opens one unpacked fixed-layout page in headless chromium at its viewport
// size and checks that
//  - its text layer is invisible: a screenshot equals, pixel for pixel, one
//    taken after the layer is removed from the DOM;
//  - the browser's own find (window.find) locates each WORD and the found
//    range's box lies over the given box (picture pixels = CSS px).
// Writes with-text.png, without-text.png and selected.png to OUTDIR.
// Exit 0 when every check passes, 1 otherwise.
// Env: ACE_DIR (node_modules holding puppeteer-core), CHROMIUM (binary).
'use strict';
const fs = require('fs');
const path = require('path');
const { pathToFileURL } = require('url');

const aceDir = process.env.ACE_DIR;
if (!aceDir) throw new Error('ACE_DIR must name the folder install.sh installed into');
const puppeteer = require(path.join(aceDir, 'node_modules', 'puppeteer-core'));

const { differingPixels } = require('./png_pixels');

async function main() {
  const [pageFile, outDir, ...wordArgs] = process.argv.slice(2);
  if (!pageFile || !outDir) {
    console.error('usage: check_page.js PAGE.xhtml OUTDIR [WORD:L,T,W,H ...]');
    return 2;
  }
  const xhtml = fs.readFileSync(pageFile, 'utf8');
  const vp = /name="viewport"\s+content="width=(\d+),\s*height=(\d+)"/.exec(xhtml);
  if (!vp) throw new Error('no viewport meta in ' + pageFile);
  const width = Number(vp[1]), height = Number(vp[2]);
  fs.mkdirSync(outDir, { recursive: true });

  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    pipe: true, // DevTools over a pipe: no TCP port, works without loopback
    args: ['--no-sandbox', '--disable-gpu', '--font-render-hinting=none', '--hide-scrollbars'],
  });
  let failures = 0;
  try {
    const page = await browser.newPage();
    // Reading systems show no network content here either.
    await page.setRequestInterception(true);
    page.on('request', r => (r.url().startsWith('file:') ? r.continue() : r.abort()));
    await page.setViewport({ width, height, deviceScaleFactor: 1 });
    await page.goto(pathToFileURL(path.resolve(pageFile)).href, { waitUntil: 'load' });
    await page.evaluate(() => document.fonts.ready);

    const withText = await page.screenshot({ path: path.join(outDir, 'with-text.png') });

    for (const arg of wordArgs) {
      const m = /^(.+):([\d.]+),([\d.]+),([\d.]+),([\d.]+)$/.exec(arg);
      if (!m) throw new Error('bad word argument ' + arg);
      const [word, l, t, w, h] = [m[1], ...m.slice(2).map(Number)];
      // Walk every case-sensitive match; the word may occur several times
      // (or inside a longer word), so keep the match nearest the box.
      const found = await page.evaluate(wd => {
        const sel = window.getSelection();
        sel.removeAllRanges();
        const hits = [];
        // find(string, caseSensitive, backwards, wrapAround, wholeWord, searchInFrames, showDialog)
        while (hits.length < 100 && window.find(wd, true, false, false, false, false, false) && sel.rangeCount) {
          const b = sel.getRangeAt(0).getBoundingClientRect();
          hits.push({ text: sel.toString(), left: b.left, top: b.top, width: b.width, height: b.height });
        }
        return hits;
      }, word);
      const dist = x => Math.abs(x.left - l) + Math.abs(x.top - t);
      const r = found.sort((a, b) => dist(a) - dist(b))[0];
      if (r) {
        // Re-select the chosen match for the selection screenshot.
        await page.evaluate((wd, n) => {
          window.getSelection().removeAllRanges();
          for (let i = 0; i <= n; i++) window.find(wd, true, false, false, false, false, false);
        }, word, found.indexOf(r));
      }
      let ok = false;
      if (r) {
        // Horizontal edges within 2 px, box overlaps at least 70 % of the word box.
        const ix = Math.max(0, Math.min(l + w, r.left + r.width) - Math.max(l, r.left));
        const iy = Math.max(0, Math.min(t + h, r.top + r.height) - Math.max(t, r.top));
        const cover = (ix * iy) / (w * h);
        ok = Math.abs(r.left - l) <= 2 && Math.abs(r.left + r.width - (l + w)) <= 2 && cover >= 0.7;
        console.log(`find "${word}": found "${r.text}" at ${[r.left, r.top, r.width, r.height].map(v => v.toFixed(1))}` +
          ` vs box ${[l, t, w, h].map(v => v.toFixed(1))}, covers ${(cover * 100).toFixed(0)}% ${ok ? 'ok' : 'FAIL'}`);
      } else {
        console.log(`find "${word}": not found FAIL`);
      }
      if (!ok) failures++;
    }
    if (wordArgs.length) await page.screenshot({ path: path.join(outDir, 'selected.png') });

    await page.evaluate(() => {
      window.getSelection().removeAllRanges();
      document.querySelectorAll('.ocr').forEach(e => e.remove());
    });
    const withoutText = await page.screenshot({ path: path.join(outDir, 'without-text.png') });
    const diff = differingPixels(withText, withoutText);
    console.log(`screenshot with vs without text layer: ${diff} differing pixels ${diff === 0 ? 'ok' : 'FAIL'}`);
    if (diff !== 0) failures++;
  } finally {
    await browser.close();
  }
  return failures ? 1 : 0;
}

main().then(code => process.exit(code), e => { console.error(e); process.exit(2); });
