#!/usr/bin/env node
// Measures screenshots of desktop reading systems showing pages whose picture has a black frame
// at its edges (check_desktop_readers.sh draws it):
//   measure_shot.js frame SHOT.png PICTURE_W PICTURE_H
//       the frame is there (the page is not blank) and its aspect is the picture's within 1%
//   measure_shot.js same A.png B.png
//       the two screenshots show the same (no channel off by more than 32)
//   measure_shot.js highlight SHOT.png PICTURE_W PICTURE_H PAGE.xhtml WORD
//       a blue tint (the selection the book's stylesheet asks for) covers at least half of
//       WORD's box in the page's text layer, mapped onto the frame
// Prints one line ending in "ok" or "FAIL"; exit 0 or 1.
'use strict';
const fs = require('fs');
const path = require('path');
const { decodePng, differingPixels } = require(path.join(__dirname, '..', 'browser', 'png_pixels'));

function load(file) {
  const png = decodePng(fs.readFileSync(file));
  png.at = (x, y) => png.data.subarray((y * png.width + x) * png.channels, (y * png.width + x) * png.channels + 3);
  return png;
}

// The frame's outer box: its sides are the columns that are mostly ink.
function frame(png) {
  const dark = (x, y) => { const p = png.at(x, y); return p[0] < 80 && p[1] < 80 && p[2] < 80; };
  const cols = [];
  for (let x = 0; x < png.width; x++) {
    let n = 0;
    for (let y = 0; y < png.height; y++) n += dark(x, y);
    cols.push(n);
  }
  const most = Math.max(...cols);
  if (most < 20) return null;
  const left = cols.findIndex(n => n >= 0.6 * most);
  const right = cols.length - 1 - [...cols].reverse().findIndex(n => n >= 0.6 * most);
  // Top and bottom: the longest run of ink down the left side (a toolbar's edge may cross
  // the whole window, but not down the frame's side).
  let top = -1, bottom = -1;
  for (let y = 0, start = -1; y <= png.height; y++) {
    if (y < png.height && dark(left + 1, y)) {
      if (start < 0) start = y;
    } else if (start >= 0) {
      if (y - start > bottom + 1 - top) { top = start; bottom = y - 1; }
      start = -1;
    }
  }
  return top < 0 ? null : { left, top, width: right + 1 - left, height: bottom + 1 - top };
}

const fmt = b => [b.left, b.top, b.width, b.height].map(v => Math.round(v)).join(',');

function main(args) {
  const [command, a, b, c, d, e] = args;
  if (command === 'same') {
    const diff = differingPixels(fs.readFileSync(a), fs.readFileSync(b), 32);
    console.log(`${path.basename(a)} vs ${path.basename(b)}: ${diff} differing pixels ${diff === 0 ? 'ok' : 'FAIL'}`);
    return diff === 0;
  }
  const png = load(a);
  const box = frame(png);
  if (!box) {
    console.log(`${path.basename(a)}: no page to be seen FAIL`);
    return false;
  }
  const pw = Number(b), ph = Number(c);
  if (command === 'frame') {
    const aspect = (box.width / box.height) / (pw / ph);
    const ok = Math.abs(aspect - 1) <= 0.01;
    console.log(`${path.basename(a)}: page at ${fmt(box)}, aspect ${(aspect * 100).toFixed(2)}% of the picture's ${ok ? 'ok' : 'FAIL'}`);
    return ok;
  }
  if (command === 'highlight') {
    const xhtml = fs.readFileSync(d, 'utf8');
    const line = [...xhtml.matchAll(/<text x="[\d.]+" y="([\d.]+)" font-size="([\d.]+)">(.*?)<\/text>/g)]
      .find(m => m[3] && m[3].includes(`>${e}</tspan>`));
    const word = line && new RegExp(`<tspan x="([\\d.]+)"[^>]*textLength="([\\d.]+)"[^>]*>${e}</tspan>`).exec(line[3]);
    if (!word) {
      console.log(`${e}: not in the text layer FAIL`);
      return false;
    }
    const s = box.width / pw;
    const size = Number(line[2]);
    const ink = { left: box.left + word[1] * s, top: box.top + (line[1] - 0.8 * size) * s, width: word[2] * s, height: size * s };
    let l = png.width, t = png.height, r = -1, bt = -1;
    for (let y = box.top; y < box.top + box.height; y++) {
      for (let x = box.left; x < box.left + box.width; x++) {
        const p = png.at(x, y);
        if (p[2] > 180 && p[2] - p[0] > 40) { l = Math.min(l, x); r = Math.max(r, x); t = Math.min(t, y); bt = Math.max(bt, y); }
      }
    }
    if (r < 0) {
      console.log(`search "${e}": no highlight to be seen FAIL`);
      return false;
    }
    const hl = { left: l, top: t, width: r + 1 - l, height: bt + 1 - t };
    const ix = Math.max(0, Math.min(ink.left + ink.width, hl.left + hl.width) - Math.max(ink.left, hl.left));
    const iy = Math.max(0, Math.min(ink.top + ink.height, hl.top + hl.height) - Math.max(ink.top, hl.top));
    const cover = (ix * iy) / (ink.width * ink.height);
    const ok = cover >= 0.5 && hl.width * hl.height <= 4 * ink.width * ink.height;
    console.log(`search "${e}": highlight ${fmt(hl)} over the word at ${fmt(ink)} covers ${(cover * 100).toFixed(0)}% ${ok ? 'ok' : 'FAIL'}`);
    return ok;
  }
  console.error('usage: measure_shot.js frame|same|highlight ...');
  return false;
}

process.exit(main(process.argv.slice(2)) ? 0 : 1);
