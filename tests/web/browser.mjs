// A small client of the DevTools protocol over --remote-debugging-pipe: the installed headless
// Chromium with a throw-away profile, one page, expressions evaluated in it, keys sent.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export async function openBrowser(executable = process.env.MOXY_CHROMIUM || '/usr/bin/chromium') {
  const profile = mkdtempSync(join(tmpdir(), 'moxy-chromium-'));
  const child = spawn(executable, ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--remote-debugging-pipe',
    `--user-data-dir=${profile}`, 'about:blank'], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
  let stderr = '', buffer = '', nextId = 1;
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const waiting = new Map();
  child.stdio[4].on('data', (chunk) => {
    buffer += chunk.toString('utf8');
    for (let end; (end = buffer.indexOf('\0')) >= 0; buffer = buffer.slice(end + 1)) {
      const message = JSON.parse(buffer.slice(0, end));
      const { resolve, reject } = waiting.get(message.id) ?? {};
      waiting.delete(message.id);
      if (message.error) reject?.(new Error(JSON.stringify(message.error)));
      else resolve?.(message.result);
    }
  });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  exited.then(() => waiting.forEach(({ reject }) => reject(new Error('the browser ended: ' + stderr.slice(-2000)))));
  const send = (method, params = {}, sessionId = undefined) => new Promise((resolve, reject) => {
    waiting.set(nextId, { resolve, reject });
    child.stdio[3].write(JSON.stringify({ id: nextId++, method, params, sessionId }) + '\0');
  });
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
  const command = (method, params) => send(method, params, sessionId);
  const page = {
    // Loads [url] (again, when it is the page's own) and waits until it has loaded.
    async goto(url) {
      await page.evaluate('window.leaving = true');
      await command('Page.navigate', { url });
      await page.waitFor(`!window.leaving && document.readyState === 'complete'`, url);
    },
    async evaluate(expression) {
      const { result, exceptionDetails } = await command('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true });
      if (exceptionDetails) throw new Error(`${expression}: ${JSON.stringify(exceptionDetails)}`);
      return result.value;
    },
    // Polls [expression] until it is truthy (an exception, as while a page is replaced,
    // counts as not yet), for at most [seconds].
    async waitFor(expression, what, seconds = 30) {
      let failure = '';
      for (const until = Date.now() + seconds * 1000; ; await new Promise((resolve) => setTimeout(resolve, 50))) {
        const value = await page.evaluate(expression).catch((error) => { failure = error.message; });
        if (value) return value;
        if (Date.now() > until) throw new Error(`waited ${seconds} s for ${what}: ${expression} ${failure}`);
      }
    },
    key: (code, key, keyCode, type) =>
      command('Input.dispatchKeyEvent', { type, code, key, windowsVirtualKeyCode: keyCode, nativeVirtualKeyCode: keyCode }),
    async close() {
      await send('Browser.close').catch(() => {});  // already gone
      await Promise.race([exited, new Promise((resolve) => setTimeout(resolve, 5000))]);
      if (child.exitCode === null) child.kill('SIGKILL');
      rmSync(profile, { recursive: true, force: true });
    },
  };
  return page;
}
