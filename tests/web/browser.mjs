// A small client of the browser's DevTools protocol over --remote-debugging-pipe: starts
// the installed headless Chromium with a throw-away profile, opens one page, evaluates
// expressions in it, sends keys and reloads. No download, no package.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export async function openBrowser(executable = process.env.MOXY_CHROMIUM || '/usr/bin/chromium') {
  const profile = mkdtempSync(join(tmpdir(), 'moxy-chromium-'));
  const child = spawn(executable, [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--disable-features=Translate,MediaRouter', '--remote-debugging-pipe', `--user-data-dir=${profile}`, 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const toBrowser = child.stdio[3];
  const fromBrowser = child.stdio[4];
  let nextId = 1;
  const waiting = new Map();
  const listeners = [];
  let buffer = '';
  fromBrowser.on('data', (chunk) => {
    buffer += chunk.toString('utf8');
    let end;
    while ((end = buffer.indexOf('\0')) >= 0) {
      const message = JSON.parse(buffer.slice(0, end));
      buffer = buffer.slice(end + 1);
      if (message.id && waiting.has(message.id)) {
        const { resolve, reject } = waiting.get(message.id);
        waiting.delete(message.id);
        if (message.error) reject(new Error(JSON.stringify(message.error)));
        else resolve(message.result);
      } else {
        for (const listener of listeners) listener(message);
      }
    }
  });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  exited.then(() => {
    for (const { reject } of waiting.values()) reject(new Error('the browser ended: ' + stderr.slice(-2000)));
  });
  const send = (method, params = {}, sessionId = undefined) => new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject });
    toBrowser.write(JSON.stringify({ id, method, params, sessionId }) + '\0');
  });

  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
  const command = (method, params) => send(method, params, sessionId);
  await command('Page.enable');
  await command('Runtime.enable');
  const nextEvent = (name) => new Promise((resolve) => {
    const listener = (message) => {
      if (message.method === name && message.sessionId === sessionId) {
        listeners.splice(listeners.indexOf(listener), 1);
        resolve(message.params);
      }
    };
    listeners.push(listener);
  });

  const page = {
    async goto(url) {
      const loaded = nextEvent('Page.loadEventFired');
      await command('Page.navigate', { url });
      await loaded;
    },
    async reload() {
      const loaded = nextEvent('Page.loadEventFired');
      await command('Page.reload', {});
      await loaded;
    },
    async evaluate(expression) {
      const { result, exceptionDetails } = await command('Runtime.evaluate',
        { expression, awaitPromise: true, returnByValue: true });
      if (exceptionDetails) throw new Error(`${expression}: ${JSON.stringify(exceptionDetails)}`);
      return result.value;
    },
    // Polls [expression] until it is truthy; generous bounds, no timing luck.
    async waitFor(expression, what, seconds = 30) {
      const until = Date.now() + seconds * 1000;
      for (;;) {
        const value = await page.evaluate(expression);
        if (value) return value;
        if (Date.now() > until) throw new Error(`waited ${seconds} s for ${what}: ${expression}`);
        await new Promise((resolve) => setTimeout(resolve, 50));
      }
    },
    async key(code, key, keyCode, type) {
      await command('Input.dispatchKeyEvent', { type, code, key, windowsVirtualKeyCode: keyCode, nativeVirtualKeyCode: keyCode });
    },
    async close() {
      try { await send('Browser.close'); } catch (e) { /* already gone */ }
      await Promise.race([exited, new Promise((resolve) => setTimeout(resolve, 5000))]);
      if (child.exitCode === null) child.kill('SIGKILL');
      rmSync(profile, { recursive: true, force: true });
    },
  };
  return page;
}
