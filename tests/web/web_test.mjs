// The exported web page in a real headless Chromium: node web_test.mjs CASE, with MOXY and
// QUILLON (executables) and EXAMPLES (the built examples) set. Pages load from file:// URLs.
import { execFileSync, spawnSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { openBrowser } from './browser.mjs';

const { MOXY, QUILLON, EXAMPLES } = process.env;
const work = mkdtempSync(join(tmpdir(), 'moxy-web-'));
const at = (file) => join(work, file);
const check = (condition, message) => { if (!condition) throw new Error(message); };
// An example with its map and the picture, copied into the work folder.
function example(name) {
  for (const file of [`${name}.moxy`, `${name}.moxy.map`, 'ball.png']) copyFileSync(join(EXAMPLES, file), at(file));
  return at(`${name}.moxy`);
}
function compile(name, source) {
  writeFileSync(at(`${name}.qlnp`), source);
  execFileSync(QUILLON, ['--compile', at(`${name}.qlnp`), '-o', at(`${name}.moxy`), '--map']);
  return at(`${name}.moxy`);
}
function exportPage(program, ...extra) {
  const html = program.replace(/\.moxy$/, '.html');
  const result = spawnSync(MOXY, ['--export-html', program, '-o', html, ...extra], { encoding: 'utf8' });
  check(result.status === 0, `export failed: ${result.stderr}`);
  return { url: pathToFileURL(html).href, out: result.stdout, err: result.stderr };
}

let answered = 0;  // dialogs answered so far on this page, which counts those it opened
async function load(page, url) {
  answered = 0;
  await page.goto(url);
}
// Answers the next dialog with [text] (null: Cancel); returns what it showed.
async function answer(page, text) {
  const element = (id) => `document.getElementById('moxy-dialog${id}')`;
  await page.waitFor(`${element('')}.open && moxyPage.dialogs > ${answered}`, 'a dialog');
  const box = await page.evaluate(`({ text: ${element('-text')}.textContent, caption: ${element('-caption')}.textContent,
    input: ${element('-input')}.style.display !== 'none', answered: moxyPage.dialogs })`);
  answered = box.answered;
  await page.evaluate(`${element('-input')}.value = ${JSON.stringify(text ?? '')};
    document.getElementById(${JSON.stringify(text === null ? 'moxy-cancel' : 'moxy-ok')}).click()`);
  return box;
}
const ended = (page, what) => page.waitFor(`window.moxyPage && moxyPage.state === 'ended'`, what);

// The page's canvas, byte for byte the desktop runner's screenshot of the same program.
async function samePixels(page, program, caption) {
  await load(page, exportPage(program).url);
  await ended(page, 'the run to end');
  const shown = await page.evaluate(`(() => {
    const c = document.getElementById('moxy-surface');
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let s = '';
    for (let i = 0; i < d.length; i += 8192) s += String.fromCharCode.apply(null, d.subarray(i, i + 8192));
    return { size: c.width + ' ' + c.height, data: btoa(s), report: moxyPage.report, title: document.title };
  })()`);
  const run = spawnSync(MOXY, ['--headless', '--screenshot', at('desktop.png'), program], { cwd: work, encoding: 'utf8' });
  check(run.status === 0, `moxy --headless failed: ${run.stderr}`);
  const size = execFileSync('identify', ['-format', '%w %h', at('desktop.png')], { encoding: 'utf8' });
  check(shown.size === size, `size ${shown.size} in the browser, ${size} on the desktop`);
  const desktop = execFileSync('convert', [at('desktop.png'), '-depth', '8', 'rgba:-'], { maxBuffer: 1 << 28 });
  const first = Buffer.from(shown.data, 'base64').findIndex((byte, i) => byte !== desktop[i]);
  check(first < 0, `the pixels differ first at pixel ${Math.floor(first / 4)}`);
  check(shown.report === '', `unexpected report: ${shown.report}`);
  check(!caption || shown.title === caption, `the page's title: ${shown.title}`);
}

// A 6 x 4 picture with opaque, half and fully transparent pixels, as PNG, BMP (opaque) and
// GIF (one transparent colour), painted stretched, shrunk and mirrored over lines and a circle.
function pictures() {
  const pixels = [];
  for (let y = 0; y < 4; ++y)
    for (let x = 0; x < 6; ++x) pixels.push(40 * x, 60 * y, 200 - 30 * x, [255, 255, 255, 37, 128, 0][x]);
  writeFileSync(at('pic.pam'), Buffer.concat([Buffer.from('P7\nWIDTH 6\nHEIGHT 4\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n'), Buffer.from(pixels)]));
  execFileSync('convert', [at('pic.pam'), at('pic.png')]);
  execFileSync('convert', [at('pic.pam'), '-background', 'orange', '-alpha', 'remove', 'bmp3:' + at('pic.bmp')]);
  execFileSync('convert', [at('pic.pam'), '-channel', 'A', '-threshold', '50%', at('pic.gif')]);
  let source = `dim[f] dim[zero] dim[x] dim[y] dim[w] dim[h] dim[c] set[zero]{0} set[w]{400} set[h]{260} setwindowwidth[w]
    setwindowheight[h] set[c]{Pictures} title[c] set[c]{3} col9[c] set[x]{0} set[y]{0} line[x][y][w][h] set[y]{120}
    set[h]{120} line[x][y][w][h] set[x]{300} set[w]{57} circle[x][y][w]\n`;
  for (const [row, file] of ['pic.png', 'pic.bmp', 'pic.gif'].entries()) {
    source += `set[f]{${file}} selpbox[zero] loadtopbox[f]\n`;
    for (const [x, w, h] of [[5, 6, 4], [20, 60, 40], [150, -45, 30], [160, 13, -27], [200, 3, 2], [240, 100.6, 50.5]])
      source += `set[x]{${x}} set[y]{${row * 75 + 30}} set[w]{${w}} set[h]{${h}} paintpicture[x][y][w][h]\n`;
  }
  return compile('pictures', source);
}

const cases = {
  async pixels(page) {
    await samePixels(page, example('hello'), 'Hello from Quillon');
    await samePixels(page, example('drawing'));
    await samePixels(page, pictures(), 'Pictures');
  },

  async game(page) {
    // On a touch screen (asked for here with ?touch): buttons for the keys it reads.
    await load(page, exportPage(example('game')).url + '?touch');
    const buttons = await page.waitFor(`[...document.querySelectorAll('#moxy-keys button')].map((b) => b.dataset.key).join(' ')`, 'the touch buttons');
    check(buttons === '81 39 37', `touch buttons for the keys ${buttons}`);
    await page.waitFor(`moxyPage.state === 'running' && moxyPage.frames > 2`, 'the game to run');
    const paddle = `(() => { // the middle column of the blue pixels
      const c = document.getElementById('moxy-surface'), d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      let sum = 0, count = 0;
      for (let i = 0; i < d.length; i += 4) if (d[i + 2] > 150 && d[i] < 80 && d[i + 1] < 80) { sum += (i / 4) % c.width; ++count; }
      return count ? sum / count : -1; })()`;
    const before = await page.evaluate(paddle);
    check(before >= 0, 'no paddle to be seen');
    await page.key('ArrowRight', 'ArrowRight', 39, 'keyDown');
    await page.waitFor(`${paddle} > ${before + 20}`, 'the paddle to move right');
    await page.key('ArrowRight', 'ArrowRight', 39, 'keyUp');
    await page.key('KeyQ', 'q', 81, 'keyDown');
    const box = await answer(page, '');
    check(/^Game over! Score: \d+$/.test(box.text) && box.caption === 'MOXY' && !box.input, `the game ended with "${box.text}"`);
    await ended(page, 'the game to end');
    // A program that never yields still gets frames, and the page answers.
    await load(page, exportPage(compile('busy', 'dim[loop]\nset[loop]{1}\nlabel{1}\ngoto[loop]\n')).url);
    await page.waitFor(`moxyPage.state === 'running' && moxyPage.frames > 10`, 'frames of a never-yielding program');
  },

  // Input and message boxes; then twice not a number: the first error restarts the
  // program, the second ends it with the desktop's report.
  async dialogs(page) {
    const program = example('calculator');
    await load(page, exportPage(program).url);
    const first = await answer(page, '2');
    check(first.input && first.caption === 'MOXY' && first.text.startsWith('First number?'), `first question: ${first.text}`);
    for (const text of ['+', '3']) await answer(page, text);
    const result = await answer(page, '');
    check(result.text === '2 + 3 = 5' && !result.input, `the sum: "${result.text}"`);
    for (const text of ['x', '+', '1', 'x', '+', '1']) await answer(page, text);
    await ended(page, 'the run to end');
    const report = await page.evaluate(`moxyPage.report === document.getElementById('moxy-report').textContent && moxyPage.report`);
    const desktop = spawnSync(MOXY, ['--headless', program], { input: '2\n+\n3\nx\n+\n1\nx\n+\n1\n', encoding: 'utf8' });
    const desktopReport = desktop.stderr.trim().split('\n').pop();
    check(/\(line \d+, column \d+\)$/.test(report) && report === desktopReport, `browser: ${report}\ndesktop: ${desktopReport}`);
    // Starting programs is refused as in safe mode.
    const starter = compile('starter', 'dim[c]\nset[c]{ls}\nexec[c]\n');
    await load(page, exportPage(starter).url);
    await ended(page, 'the starter to end');
    const refused = await page.evaluate('moxyPage.report');
    const safe = spawnSync(MOXY, ['--headless', '--safe', starter], { encoding: 'utf8' }).stderr.trim();
    check(/\(refused\)/.test(refused) && refused === safe, `exec in the browser: ${refused}\nwith --safe: ${safe}`);
  },

  // Files the program writes are kept by the browser: the note is there after a reload.
  async notebook(page) {
    const { url } = exportPage(example('notebook'));
    await load(page, url);
    await answer(page, 'buy milk');
    const shown = await answer(page, '');
    check(shown.text.includes('Note 1: buy milk'), `the notebook: ${shown.text}`);
    await ended(page, 'the first visit to end');
    await load(page, url);
    await answer(page, null);
    const kept = await answer(page, '');
    check(kept.text.includes('My notebook') && kept.text.includes('Note 1: buy milk'), `after the reload: ${kept.text}`);
  },

  // The exporter's account and its failures; no browser needed.
  async export() {
    const program = example('hello');
    writeFileSync(at('notes.txt'), 'some notes');
    writeFileSync(at('huge.bin'), Buffer.alloc(9 << 20));
    const folder = exportPage(program);
    check(/included notes\.txt \(10 bytes\)/.test(folder.out) && /included the source map/.test(folder.out), folder.out);
    check(/warning: left out huge\.bin/.test(folder.err), `no warning: ${folder.err}`);
    const named = exportPage(program, '--include', at('huge.bin'));
    check(/included huge\.bin/.test(named.out) && !/notes\.txt/.test(named.out), named.out);
    const out = ['-o', at('x.html')];
    for (const [args, message] of [
      [[program], /needs -o/],
      [[at('missing.moxy'), ...out], /cannot read .*missing\.moxy/],
      [[program, ...out, '--include', at('nothing.txt')], /cannot read .*nothing\.txt/],
      [[program, ...out, '--include', at('notes.txt'), '--include', at('notes.txt')], /two files called notes\.txt/],
      [[program, '-o', at('no/such/folder/x.html')], /cannot write/],
      [[program, ...out, '--bogus'], /unexpected argument --bogus/],
    ]) {
      const result = spawnSync(MOXY, ['--export-html', ...args], { encoding: 'utf8' });
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
