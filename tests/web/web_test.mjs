// The exported web page in a real headless Chromium: node web_test.mjs CASE. Pages are
// exported with the real moxy from the built examples and loaded from file:// URLs.
// Environment: MOXY, QUILLON (executables), EXAMPLES (the built examples' folder).
import { execFileSync, spawnSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { openBrowser } from './browser.mjs';

const { MOXY, QUILLON, EXAMPLES } = process.env;
const work = mkdtempSync(join(tmpdir(), 'moxy-web-'));

function check(condition, message) {
  if (!condition) throw new Error(message);
}

// Copies an example with its map (and the picture) into the work folder.
function example(name) {
  for (const file of [`${name}.moxy`, `${name}.moxy.map`, 'ball.png'])
    copyFileSync(join(EXAMPLES, file), join(work, file));
  return join(work, `${name}.moxy`);
}

function compile(name, source) {
  const file = join(work, `${name}.qlnp`);
  writeFileSync(file, source);
  execFileSync(QUILLON, ['--compile', file, '-o', join(work, `${name}.moxy`), '--map']);
  return join(work, `${name}.moxy`);
}

function exportPage(program, ...extra) {
  const page = program.replace(/\.moxy$/, '.html');
  const result = spawnSync(MOXY, ['--export-html', program, '-o', page, ...extra], { encoding: 'utf8' });
  check(result.status === 0, `export failed: ${result.stderr}`);
  return { page, url: pathToFileURL(page).href, out: result.stdout, err: result.stderr };
}

// The page's canvas as RGBA bytes.
const canvasPixels = `(() => {
  const c = document.getElementById('moxy-surface');
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  let s = '';
  for (let i = 0; i < d.length; i += 8192) s += String.fromCharCode.apply(null, d.subarray(i, i + 8192));
  return { width: c.width, height: c.height, data: btoa(s) };
})()`;

// The desktop runner's screenshot of the same program, run from its folder.
function desktopPixels(program) {
  const png = join(work, 'desktop.png');
  const run = spawnSync(MOXY, ['--headless', '--screenshot', png, program], { cwd: work, encoding: 'utf8' });
  check(run.status === 0, `moxy --headless failed: ${run.stderr}`);
  const size = execFileSync('identify', ['-format', '%w %h', png], { encoding: 'utf8' }).split(' ').map(Number);
  const data = execFileSync('convert', [png, '-depth', '8', 'rgba:-'], { maxBuffer: 1 << 28 });
  return { width: size[0], height: size[1], data };
}

async function samePixels(page, program, caption) {
  const { url } = exportPage(program);
  await load(page, url);
  await page.waitFor(`window.moxyPage && moxyPage.state === 'ended'`, 'the run to end');
  const shown = await page.evaluate(canvasPixels);
  const desktop = desktopPixels(program);
  check(shown.width === desktop.width && shown.height === desktop.height,
    `size ${shown.width}x${shown.height} in the browser, ${desktop.width}x${desktop.height} on the desktop`);
  const bytes = Buffer.from(shown.data, 'base64');
  let differing = 0, first = -1;
  for (let i = 0; i < bytes.length; ++i)
    if (bytes[i] !== desktop.data[i]) { ++differing; if (first < 0) first = i; }
  check(differing === 0, `${differing} bytes differ, the first at pixel ${(first / 4) % shown.width},${Math.floor(first / 4 / shown.width)}`);
  const report = await page.evaluate('moxyPage.report');
  check(report === '', `unexpected report: ${report}`);
  if (caption) {
    const title = await page.evaluate('document.title');
    check(title === caption, `the page's title: ${title}`);
  }
}

// Dialogs answered so far on this page (the page counts the dialogs it opened).
let answered = 0;

async function load(page, url) {
  answered = 0;
  await page.goto(url);
}

async function dialog(page) {
  await page.waitFor(`document.getElementById('moxy-dialog').open && moxyPage.dialogs > ${answered}`, 'a dialog');
  return page.evaluate(`({ text: document.getElementById('moxy-dialog-text').textContent,
    input: document.getElementById('moxy-dialog-input').style.display !== 'none',
    caption: document.getElementById('moxy-dialog-caption').textContent })`);
}

async function answer(page, text) {
  const box = await dialog(page);
  answered = await page.evaluate('moxyPage.dialogs');
  await page.evaluate(`document.getElementById('moxy-dialog-input').value = ${JSON.stringify(text ?? '')};
    document.getElementById(${JSON.stringify(text === null ? 'moxy-cancel' : 'moxy-ok')}).click()`);
  return box;
}

const shapes = `dim[w]
dim[h]
dim[caption]
set[w]{400}
set[h]{260}
setwindowwidth[w]
setwindowheight[h]
set[caption]{Lines and circles}
title[caption]
dim[x]
dim[y]
dim[x2]
dim[y2]
dim[r]
dim[c]
set[c]{4}
col9[c]
set[x]{10}
set[y]{12}
set[x2]{380}
set[y2]{250}
line[x][y][x2][y2]
set[r]{57}
circle[x2][y][r]
set[c]{2}
col9[c]
set[x]{160}
set[y]{120}
set[r]{33}
circle[x][y][r]
line[x2][x][x][y2]
`;

// A 6 x 4 picture with opaque, half and fully transparent pixels, as PNG, BMP (opaque)
// and GIF (one transparent colour), made with ImageMagick from raw pixels.
function pictures() {
  const pixels = [];
  for (let y = 0; y < 4; ++y)
    for (let x = 0; x < 6; ++x)
      pixels.push(40 * x, 60 * y, 200 - 30 * x, x === 5 ? 0 : x === 4 ? 128 : x === 3 ? 37 : 255);
  const pam = Buffer.concat([Buffer.from('P7\nWIDTH 6\nHEIGHT 4\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n'),
    Buffer.from(pixels)]);
  writeFileSync(join(work, 'pic.pam'), pam);
  execFileSync('convert', [join(work, 'pic.pam'), join(work, 'pic.png')]);
  execFileSync('convert', [join(work, 'pic.pam'), '-background', 'orange', '-alpha', 'remove', 'bmp3:' + join(work, 'pic.bmp')]);
  execFileSync('convert', [join(work, 'pic.pam'), '-channel', 'A', '-threshold', '50%', join(work, 'pic.gif')]);
  let source = 'dim[f]\ndim[zero]\ndim[x]\ndim[y]\ndim[w]\ndim[h]\ndim[c]\nset[zero]{0}\nset[c]{3}\ncol9[c]\n' +
    'set[x]{0}\nset[y]{0}\nset[w]{323}\nset[h]{243}\nline[x][y][w][h]\nset[y]{120}\nset[h]{120}\nline[x][y][w][h]\n';
  let row = 0;
  for (const file of ['pic.png', 'pic.bmp', 'pic.gif']) {
    source += `set[f]{${file}}\nselpbox[zero]\nloadtopbox[f]\n`;
    for (const [x, w, h] of [[5, 6, 4], [20, 60, 40], [150, -45, 30], [160, 13, -27], [200, 3, 2], [240, 100.6, 50.5]])
      source += `set[x]{${x}}\nset[y]{${row * 75 + 30}}\nset[w]{${w}}\nset[h]{${h}}\npaintpicture[x][y][w][h]\n`;
    ++row;
  }
  return compile('pictures', source);
}

const cases = {
  async pixels(page) {
    for (const [name, caption] of [['hello', 'Hello from Quillon'], ['drawing']]) {
      console.log(`${name}: the browser draws the desktop's pixels`);
      await samePixels(page, example(name), caption);
    }
    console.log('lines and circles in a larger window: the browser draws the desktop\'s pixels');
    await samePixels(page, compile('shapes', shapes), 'Lines and circles');
    console.log('pictures (PNG with alpha, BMP, GIF; stretched, shrunk, mirrored): the desktop\'s pixels');
    await samePixels(page, pictures());
  },

  async game(page) {
    // On a touch screen (asked for here with ?touch): buttons for the keys it reads.
    await load(page, exportPage(example('game')).url + '?touch');
    const buttons = await page.waitFor(`[...document.querySelectorAll('#moxy-keys button')].map((b) => b.dataset.key).join(' ')`, 'the touch buttons');
    check(buttons === '81 39 37', `touch buttons for the keys ${buttons}`);
    await page.waitFor(`moxyPage.state === 'running' && moxyPage.frames > 2`, 'the game to run');
    // The paddle: the blue pixels of the lowest rows; its middle column.
    const paddle = `(() => {
      const c = document.getElementById('moxy-surface');
      const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      let sum = 0, count = 0;
      for (let i = 0; i < d.length; i += 4)
        if (d[i + 2] > 150 && d[i] < 80 && d[i + 1] < 80) { sum += (i / 4) % c.width; ++count; }
      return count ? sum / count : -1;
    })()`;
    const before = await page.evaluate(paddle);
    check(before >= 0, 'no paddle to be seen');
    await page.key('ArrowRight', 'ArrowRight', 39, 'keyDown');
    await page.waitFor(`${paddle} > ${before + 20}`, 'the paddle to move right');
    await page.key('ArrowRight', 'ArrowRight', 39, 'keyUp');
    await page.key('KeyQ', 'q', 81, 'keyDown');
    const box = await answer(page, '');
    check(/^Game over! Score: \d+$/.test(box.text), `the game ended with "${box.text}"`);
    check(box.caption === 'MOXY' && !box.input, 'a message box captioned MOXY');
    await page.waitFor(`moxyPage.state === 'ended'`, 'the game to end');
    // A program that never yields still gets frames, and the page answers.
    await load(page, exportPage(compile('busy', 'dim[loop]\nset[loop]{1}\nlabel{1}\ngoto[loop]\n')).url);
    await page.waitFor(`moxyPage.state === 'running' && moxyPage.frames > 10`, 'frames of a never-yielding program');
  },

  async calculator(page) {
    await load(page, exportPage(example('calculator')).url);
    const first = await answer(page, '2');
    check(first.input && first.caption === 'MOXY', 'an input box captioned MOXY');
    check(first.text.startsWith('First number?'), `first question: ${first.text}`);
    await answer(page, '+');
    await answer(page, '3');
    const result = await answer(page, '');
    check(result.text === '2 + 3 = 5' && !result.input, `the sum: "${result.text}"`);
    await answer(page, null);  // Cancel ends it
    await page.waitFor(`moxyPage.state === 'ended'`, 'the calculator to end');
    check(await page.evaluate('moxyPage.report') === '', 'no report');
  },

  async notebook(page) {
    const { url } = exportPage(example('notebook'));
    await load(page, url);
    await answer(page, 'buy milk');
    const shown = await answer(page, '');
    check(shown.text.includes('Note 1: buy milk'), `the notebook: ${shown.text}`);
    await page.waitFor(`moxyPage.state === 'ended'`, 'the first visit to end');
    answered = 0;
    await page.reload();
    await answer(page, null);
    const kept = await answer(page, '');
    check(kept.text.includes('My notebook') && kept.text.includes('Note 1: buy milk'), `after the reload: ${kept.text}`);
  },

  async error(page) {
    // Twice not a number: the first error restarts the program, the second ends it.
    const program = example('calculator');
    await load(page, exportPage(program).url);
    for (const text of ['x', '+', '1', 'x', '+', '1'])
      await answer(page, text);
    await page.waitFor(`moxyPage.state === 'ended'`, 'the run to end');
    const report = await page.evaluate('moxyPage.report');
    const shown = await page.evaluate(`document.getElementById('moxy-report').textContent`);
    const desktop = spawnSync(MOXY, ['--headless', program], { input: 'x\n+\n1\nx\n+\n1\n', encoding: 'utf8' });
    const desktopReport = desktop.stderr.trim().split('\n').pop();
    check(/\(line \d+, column \d+\)$/.test(report), `the report names no line: ${report}`);
    check(report === desktopReport && shown === report, `browser: ${report}\ndesktop: ${desktopReport}`);
    // Starting programs is refused as in safe mode.
    const starter = compile('starter', 'dim[c]\nset[c]{ls}\nexec[c]\n');
    await load(page, exportPage(starter).url);
    await page.waitFor(`moxyPage.state === 'ended'`, 'the starter to end');
    const refused = await page.evaluate('moxyPage.report');
    const safe = spawnSync(MOXY, ['--headless', '--safe', starter], { encoding: 'utf8' }).stderr.trim();
    check(/\(refused\)/.test(refused) && refused === safe, `exec in the browser: ${refused}\nwith --safe: ${safe}`);
  },

  // The exporter's account and its failures; no browser needed.
  async export() {
    const program = example('hello');
    writeFileSync(join(work, 'notes.txt'), 'some notes');
    writeFileSync(join(work, 'huge.bin'), Buffer.alloc(9 << 20));
    const folder = exportPage(program);
    check(/included notes\.txt \(10 bytes\)/.test(folder.out) && /included the source map/.test(folder.out), folder.out);
    check(/warning: left out huge\.bin/.test(folder.err), `no warning: ${folder.err}`);
    const named = exportPage(program, '--include', join(work, 'huge.bin'));
    check(/included huge\.bin/.test(named.out) && !/notes\.txt/.test(named.out), named.out);
    const failures = [
      [['--export-html', program], /needs -o/],
      [['--export-html', join(work, 'missing.moxy'), '-o', join(work, 'x.html')], /cannot read .*missing\.moxy/],
      [['--export-html', program, '-o', join(work, 'x.html'), '--include', join(work, 'nothing.txt')], /cannot read .*nothing\.txt/],
      [['--export-html', program, '-o', join(work, 'x.html'), '--include', join(work, 'notes.txt'), '--include', join(work, 'notes.txt')], /two files called notes\.txt/],
      [['--export-html', program, '-o', join(work, 'no/such/folder/x.html')], /cannot write/],
      [['--export-html', program, '-o', join(work, 'x.html'), '--bogus'], /unexpected argument --bogus/],
    ];
    for (const [args, message] of failures) {
      const result = spawnSync(MOXY, args, { encoding: 'utf8' });
      check(result.status === 1 && message.test(result.stderr), `${args.join(' ')}: status ${result.status}, ${result.stderr}`);
    }
  },
};

const name = process.argv[2];
let page = null;
try {
  check(cases[name], `unknown case ${name}; cases: ${Object.keys(cases).join(', ')}`);
  if (name !== 'export') page = await openBrowser();
  await cases[name](page);
  console.log(`${name}: passed`);
} catch (error) {
  console.error(`${name}: FAILED: ${error.stack || error}`);
  process.exitCode = 1;
} finally {
  if (page) await page.close();
  rmSync(work, { recursive: true, force: true });
}
