#!/usr/bin/env node
// usage: node check_readers.js BOOK.epub OUTDIR [WORD:LEFT,TOP,WIDTH,HEIGHT ...]
// Opens a fixed-layout book in two reading systems that run in a browser, epub.js and
// foliate-js, in headless chromium, each in a window wider than high and one higher than wide,
// and checks its first page:
//  - it is shown whole: the area the page covers (the window is painted a colour no page has)
//    has the picture's aspect within 1%, and is the picture fitted to the window;
//  - its text layer is invisible: a screenshot equals one taken after the layer is removed;
//  - the reader's own search finds each WORD (boxes in picture pixels of page 1) and its
//    highlight (epub.js) or selected range (foliate-js, which draws no highlight on fixed
//    layout) lies over the word's ink.
// Prints one line per check, "ok" or "FAIL"; writes screenshots to OUTDIR. Exit 0 when every
// check passes, 1 otherwise, 2 when a reader could not be run.
// Env: ACE_DIR (node_modules holding puppeteer-core, epubjs, foliate-js), CHROMIUM (binary).
'use strict';
const fs = require('fs');
const path = require('path');
const { decodePng, differingPixels } = require('./png_pixels');

const aceDir = process.env.ACE_DIR;
if (!aceDir) throw new Error('ACE_DIR must name the folder install.sh installed into');
const modules = path.join(aceDir, 'node_modules');
const puppeteer = require(path.join(modules, 'puppeteer-core'));
const JSZip = require(path.join(modules, 'jszip'));

const ORIGIN = 'http://reader.invalid';
const BACKDROP = [255, 0, 255];
const WINDOWS = [{ width: 1000, height: 700 }, { width: 600, height: 900 }];

const HOSTS = {
  'epubjs.html': `<!DOCTYPE html><html><head><meta charset="utf-8"/>
<style>html,body{margin:0;height:100%;background:rgb(${BACKDROP})}#viewer{width:100vw;height:100vh}</style>
<script src="/node_modules/jszip/dist/jszip.min.js"></script>
<script src="/node_modules/epubjs/dist/epub.min.js"></script></head>
<body><div id="viewer"></div></body></html>`,
  'foliate.html': `<!DOCTYPE html><html><head><meta charset="utf-8"/>
<style>html,body{margin:0;height:100%;background:rgb(${BACKDROP})}foliate-view{display:block;width:100vw;height:100vh}</style>
<script type="importmap">{"imports":{"construct-style-sheets-polyfill":
"/node_modules/construct-style-sheets-polyfill/dist/adoptedStyleSheets.js"}}</script>
<script type="module">import '/node_modules/foliate-js/view.js'; window.viewReady = true;</script>
</head><body><foliate-view id="view"></foliate-view></body></html>`,
};

const TYPES = { '.js': 'text/javascript', '.html': 'text/html', '.epub': 'application/epub+zip' };

// Serves the host pages, the readers' modules and the book from memory and disk; nothing
// leaves the machine.
async function serve(page, bookBytes) {
  await page.setRequestInterception(true);
  page.on('request', r => {
    const url = new URL(r.url());
    if (url.origin !== ORIGIN) return /^(blob|data):/.test(r.url()) ? r.continue() : r.abort();
    const name = decodeURIComponent(url.pathname);
    const type = TYPES[path.extname(name)] || 'application/octet-stream';
    if (name === '/book.epub') return r.respond({ status: 200, contentType: type, body: bookBytes });
    if (HOSTS[name.slice(1)]) return r.respond({ status: 200, contentType: type, body: HOSTS[name.slice(1)] });
    const file = path.join(modules, path.normalize(name.replace(/^\/node_modules\//, '')));
    if (name.startsWith('/node_modules/') && file.startsWith(modules) && fs.existsSync(file))
      return r.respond({ status: 200, contentType: type, body: fs.readFileSync(file) });
    return r.respond({ status: 404, body: '' });
  });
}

// Opens the book at its first page.
const OPEN = {
  async epubjs(page) {
    await page.goto(ORIGIN + '/epubjs.html', { waitUntil: 'load' });
    await page.evaluate(async () => {
      window.book = ePub(location.origin + '/book.epub', { openAs: 'epub' });
      window.rendition = book.renderTo('viewer', { width: '100%', height: '100%', spread: 'none' });
      await rendition.display();
    });
  },
  async foliate(page) {
    await page.goto(ORIGIN + '/foliate.html', { waitUntil: 'load' });
    await page.waitForFunction(() => window.viewReady === true);
    await page.evaluate(async () => {
      const view = document.getElementById('view');
      await view.open(location.origin + '/book.epub');
      await view.goTo(0);
    });
  },
};

// The documents the reader shows, whatever its frames.
const CONTENTS = {
  epubjs: () => rendition.getContents().map(c => c.document),
  foliate: () => document.getElementById('view').renderer.getContents().map(c => c.doc),
};

async function settle(page, reader) {
  await page.evaluate(async (fn) => {
    const docs = eval(fn)();
    for (const doc of docs) {
      await doc.fonts.ready;
      for (const img of doc.querySelectorAll('img, image')) {
        if (img.decode) await img.decode().catch(() => {});
      }
    }
    await new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)));
  }, `(${CONTENTS[reader]})`);
  await new Promise(r => setTimeout(r, 300));
}

// The box the page covers in a screenshot: everything not of the backdrop colour.
function pageBox(png) {
  const { width, height, channels, data } = decodePng(png);
  let left = width, top = height, right = -1, bottom = -1;
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const i = (y * width + x) * channels;
      const d = Math.abs(data[i] - BACKDROP[0]) + Math.abs(data[i + 1] - BACKDROP[1]) + Math.abs(data[i + 2] - BACKDROP[2]);
      if (d > 60) {
        if (x < left) left = x;
        if (x > right) right = x;
        if (y < top) top = y;
        if (y > bottom) bottom = y;
      }
    }
  }
  return right < 0 ? null : { left, top, width: right + 1 - left, height: bottom + 1 - top };
}

// Where the reader puts the match of `word` nearest the given box, in window pixels.
const FIND = {
  async epubjs(page, word) {
    return page.evaluate(async (word) => {
      const section = book.spine.get(0);
      await section.load(book.load.bind(book));
      const hits = section.find(word);
      const boxes = [];
      for (const hit of hits) {
        rendition.annotations.remove(hit.cfi, 'highlight');
        rendition.annotations.highlight(hit.cfi, {}, null, 'vm-hit');
        await new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)));
        const marks = [...document.querySelectorAll('g.vm-hit rect')];
        if (!marks.length) continue;
        const r = marks.map(m => m.getBoundingClientRect()).reduce((a, b) => ({
          left: Math.min(a.left, b.left), top: Math.min(a.top, b.top),
          right: Math.max(a.right, b.right), bottom: Math.max(a.bottom, b.bottom),
        }));
        boxes.push({ left: r.left, top: r.top, width: r.right - r.left, height: r.bottom - r.top, how: 'highlight' });
        rendition.annotations.remove(hit.cfi, 'highlight');
      }
      return { hits: hits.length, boxes };
    }, word);
  },
  async foliate(page, word) {
    return page.evaluate(async (word) => {
      const view = document.getElementById('view');
      const cfis = [];
      for await (const result of view.search({ query: word, index: 0, matchCase: true })) {
        if (result === 'done') break;
        if (result.cfi) cfis.push(result.cfi);
      }
      const boxes = [];
      for (const cfi of cfis) {
        // The range the reader resolves the hit to, as its own "select" would select it.
        const { doc } = view.renderer.getContents()[0];
        const range = view.resolveNavigation(cfi).anchor(doc);
        if (!range || !range.getBoundingClientRect) continue;
        const r = range.getBoundingClientRect();
        // The frame is scaled to fit the window: map its pixels to the window's.
        const frame = doc.defaultView.frameElement.getBoundingClientRect();
        const scale = frame.width / doc.documentElement.clientWidth;
        boxes.push({ left: frame.left + r.left * scale, top: frame.top + r.top * scale,
                     width: r.width * scale, height: r.height * scale, how: 'selection' });
      }
      view.clearSearch();
      return { hits: cfis.length, boxes };
    }, word);
  },
};

async function checkReader(browser, reader, bookBytes, picture, words, win, outDir, report) {
  const tag = `${reader} ${win.width}x${win.height}`;
  const page = await browser.newPage();
  try {
    await page.setViewport({ ...win, deviceScaleFactor: 1 });
    await serve(page, bookBytes);
    await OPEN[reader](page);
    await settle(page, reader);
    const shot = path.join(outDir, `${reader}-${win.width}x${win.height}`);
    const withText = await page.screenshot({ path: shot + '-page.png' });

    const box = pageBox(withText);
    if (!box) {
      report(false, `${tag}: the page is blank`);
    } else {
      const aspect = (box.width / box.height) / (picture.width / picture.height);
      report(Math.abs(aspect - 1) <= 0.01,
        `${tag}: page shown at ${box.width}x${box.height}+${box.left}+${box.top}, aspect ${(aspect * 100).toFixed(2)}% of the picture's`);
      const fit = Math.min(win.width / picture.width, win.height / picture.height);
      const fitted = Math.abs(box.width - picture.width * fit) <= 3 && Math.abs(box.height - picture.height * fit) <= 3;
      report(fitted && box.left >= 0 && box.top >= 0 && box.left + box.width <= win.width && box.top + box.height <= win.height,
        `${tag}: whole page in the window (fitted ${Math.round(picture.width * fit)}x${Math.round(picture.height * fit)})`);
    }

    for (const w of words) {
      const found = await FIND[reader](page, w.word);
      const scale = box ? box.width / picture.width : 1;
      const ink = box && { left: box.left + w.left * scale, top: box.top + w.top * scale, width: w.width * scale, height: w.height * scale };
      let best = 0, bestBox = null;
      for (const b of found.boxes) {
        const ix = Math.max(0, Math.min(ink.left + ink.width, b.left + b.width) - Math.max(ink.left, b.left));
        const iy = Math.max(0, Math.min(ink.top + ink.height, b.top + b.height) - Math.max(ink.top, b.top));
        const cover = (ix * iy) / (ink.width * ink.height);
        // The mark must lie over the word, not swallow the line around it.
        const tight = b.width * b.height <= 4 * ink.width * ink.height;
        if (tight && cover > best) { best = cover; bestBox = b; }
      }
      const fmt = b => b ? [b.left, b.top, b.width, b.height].map(v => v.toFixed(1)).join(',') : '-';
      report(!!ink && found.hits > 0 && best >= 0.5,
        `${tag}: search "${w.word}": ${found.hits} hit(s); ${bestBox ? bestBox.how : 'mark'} ${fmt(bestBox)} over ink ${fmt(ink)} covers ${(best * 100).toFixed(0)}%`);
    }

    await page.evaluate(fn => {
      for (const doc of eval(fn)()) {
        doc.getSelection().removeAllRanges();
      }
    }, `(${CONTENTS[reader]})`);
    await settle(page, reader);
    const before = await page.screenshot();
    await page.evaluate(fn => {
      for (const doc of eval(fn)()) doc.querySelectorAll('.ocr').forEach(e => e.remove());
    }, `(${CONTENTS[reader]})`);
    await settle(page, reader);
    const without = await page.screenshot({ path: shot + '-without-text.png' });
    // A reader re-rasters the scaled picture when its document changes, and a seam between
    // tiles may shift a few tones by a few levels; text would be drawn in full contrast.
    const diff = differingPixels(before, without, 32);
    if (diff) fs.writeFileSync(shot + '-with-text.png', before);
    report(diff === 0, `${tag}: screenshot with vs without text layer: ${diff} differing pixels`);
  } finally {
    await page.close();
  }
}

async function main() {
  const [bookFile, outDir, ...wordArgs] = process.argv.slice(2);
  if (!bookFile || !outDir) {
    console.error('usage: check_readers.js BOOK.epub OUTDIR [WORD:L,T,W,H ...]');
    return 2;
  }
  const bookBytes = fs.readFileSync(bookFile);
  const zip = await JSZip.loadAsync(bookBytes);
  const xhtml = await zip.file('OEBPS/page1.xhtml').async('string');
  const vp = /name="viewport"\s+content="width=(\d+),\s*height=(\d+)"/.exec(xhtml);
  if (!vp) throw new Error('no viewport in page1.xhtml');
  const picture = { width: Number(vp[1]), height: Number(vp[2]) };
  const words = wordArgs.map(arg => {
    const m = /^(.+):([\d.]+),([\d.]+),([\d.]+),([\d.]+)$/.exec(arg);
    if (!m) throw new Error('bad word argument ' + arg);
    return { word: m[1], left: +m[2], top: +m[3], width: +m[4], height: +m[5] };
  });
  fs.mkdirSync(outDir, { recursive: true });

  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    pipe: true,
    args: ['--no-sandbox', '--disable-gpu', '--font-render-hinting=none', '--hide-scrollbars'],
  });
  let failures = 0;
  const report = (ok, text) => {
    console.log(`${text} ${ok ? 'ok' : 'FAIL'}`);
    if (!ok) failures++;
  };
  try {
    for (const reader of Object.keys(OPEN)) {
      for (const win of WINDOWS)
        await checkReader(browser, reader, bookBytes, picture, words, win, outDir, report);
    }
  } finally {
    await browser.close();
  }
  return failures ? 1 : 0;
}

main().then(code => process.exit(code), e => { console.error(e); process.exit(2); });
