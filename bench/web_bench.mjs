// The runner in the browser: node bench/web_bench.mjs WORK ROUNDS, with MOXY set. Prints the
// page's size (the runner's part apart), the time from load to the first frame, and the
// counting loop of WORK/count.moxy in headless Chromium against the desktop runner.
import { spawnSync } from 'node:child_process';
import { statSync } from 'node:fs';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { openBrowser } from '../tests/web/browser.mjs';

const [work, roundsText] = process.argv.slice(2);
const rounds = Number(roundsText || 5);
const moxy = process.env.MOXY;
const runnerFile = process.env.MOXY_WEB_RUNNER;
const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

function exportPage(name) {
  const page = join(work, `${name}.html`);
  const result = spawnSync(moxy, ['--export-html', join(work, `${name}.moxy`), '-o', page, '--include', join(work, `${name}.moxy`)]);
  if (result.status !== 0) throw new Error(result.stderr.toString());
  return page;
}

const hello = exportPage('hello');
const count = exportPage('count');
const kib = (bytes) => `${(bytes / 1024).toFixed(0)} KiB`;
console.log(`page of hello: ${kib(statSync(hello).size)}; the runner in it: ${kib(statSync(runnerFile).size)}`);

const page = await openBrowser();
try {
  const firstFrames = [];
  const browserCounts = [];
  const desktopCounts = [];
  const desktopStarts = [];
  for (let round = 0; round < rounds; ++round) {
    await page.goto(pathToFileURL(hello).href);
    firstFrames.push(await page.waitFor(`window.moxyPage && moxyPage.firstFrame`, 'the first frame'));
    await page.goto(pathToFileURL(count).href);
    browserCounts.push(await page.waitFor(`moxyPage.state === 'ended' && moxyPage.ended - moxyPage.started`, 'the count', 300));
    const timed = (program) => {
      const start = process.hrtime.bigint();
      spawnSync(moxy, ['--headless', join(work, program)]);
      return Number(process.hrtime.bigint() - start) / 1e6;
    };
    desktopCounts.push(timed('count.moxy'));
    desktopStarts.push(timed('hello.moxy'));
  }
  const browser = median(browserCounts);
  const desktop = median(desktopCounts) - median(desktopStarts);
  console.log(`load to first frame: ${median(firstFrames).toFixed(0)} ms (median of ${rounds})`);
  console.log(`counting loop to 10,000,000: browser ${browser.toFixed(0)} ms, desktop ${desktop.toFixed(0)} ms ` +
              `(net of its start, ${median(desktopStarts).toFixed(0)} ms), ` +
              `ratio ${(browser / desktop).toFixed(2)}`);
} finally {
  await page.close();
}
