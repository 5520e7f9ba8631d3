// The page's side of the runner in the browser: it hands the program and its files to
// the WebAssembly runner, drives the run in slices from animation frames (a yield ends a
// frame; a program that never yields runs a few milliseconds a task), shows the surface
// on the canvas, and is the host's outside world: keys, dialogs, the clock, sound, files
// kept in the browser's storage, the caption.
(function () {
  'use strict';
  // runner::SliceEnd
  const YIELDED = 0, INPUT_BOX = 1, MESSAGE_BOX = 2, BUDGET = 3, FAILED = 7;
  const SLICE_STEPS = 200000;
  const FRAME_MILLISECONDS = 12;

  const data = JSON.parse(document.getElementById('moxy-data').textContent);
  const surface = document.getElementById('moxy-surface');
  const context = surface.getContext('2d');
  const reportBox = document.getElementById('moxy-report');
  const dialog = document.getElementById('moxy-dialog');
  const dialogText = document.getElementById('moxy-dialog-text');
  const dialogInput = document.getElementById('moxy-dialog-input');
  const cancelButton = document.getElementById('moxy-cancel');
  // What the page shows of the run, for people and for tests.
  const page = window.moxyPage = { state: 'loading', frames: 0, dialogs: 0, firstFrame: 0, started: 0, ended: 0, report: '' };

  const bytesOf = (base64) => Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
  // Programs' texts are one byte per character (Latin-1).
  const latin1 = (bytes) => {
    let text = '';
    for (let i = 0; i < bytes.length; i += 8192)
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
    return text;
  };
  const latin1Bytes = (text) => Uint8Array.from(text, (c) => (c.charCodeAt(0) < 256 ? c.charCodeAt(0) : 63));
  const storagePrefix = 'moxy:' + location.pathname + ':' + data.name + ':';

  let audio = null;
  // A beep takes its time, as on the desktop: the run waits until it has sounded.
  let pauseUntil = 0;
  const host = {
    ticks: () => performance.now(),
    beep(hertz, milliseconds) {
      pauseUntil = Math.max(pauseUntil, performance.now()) + Math.max(milliseconds, 0);
      if (hertz <= 0)
        return;
      try {
        audio = audio || new (window.AudioContext || window.webkitAudioContext)();
        const tone = audio.createOscillator();
        const volume = audio.createGain();
        tone.type = 'square';
        tone.frequency.value = Math.min(Math.max(hertz, 20), 20000);
        volume.gain.value = 0.1;
        tone.connect(volume).connect(audio.destination);
        tone.start();
        tone.stop(audio.currentTime + Math.max(milliseconds, 0) / 1000);
      } catch (e) { /* no sound: the run goes on */ }
    },
    writeFile(name, text) {
      try { localStorage.setItem(storagePrefix + name, text); } catch (e) { /* storage full or off */ }
    },
    caption(text) { document.title = text; },
    screen: (height) => (height ? window.screen.height : window.screen.width),
    text: (pointer, size) => latin1(runner.HEAPU8.subarray(pointer, pointer + size)),
  };

  let runner = null;
  const handedText = (pointer) => host.text(pointer, runner._moxy_text_size());
  // Calls [action] with a copy of [bytes] in the runner's memory (and its size).
  const inMemory = (bytes, action) => {
    const pointer = runner._malloc(bytes.length + 1);
    runner.HEAPU8.set(bytes, pointer);
    runner.HEAPU8[pointer + bytes.length] = 0;
    try { return action(pointer, bytes.length); } finally { runner._free(pointer); }
  };

  // Picture files are decoded by the browser, as they are: no colour-space conversion,
  // straight alpha.
  async function decode(bytes) {
    try {
      const bitmap = await createImageBitmap(new Blob([bytes]), { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
      const canvas = document.createElement('canvas');
      canvas.width = bitmap.width;
      canvas.height = bitmap.height;
      const drawing = canvas.getContext('2d', { willReadFrequently: true });
      drawing.drawImage(bitmap, 0, 0);
      return drawing.getImageData(0, 0, bitmap.width, bitmap.height);
    } catch (e) {
      return null;
    }
  }

  function paint() {
    const width = runner._moxy_width(), height = runner._moxy_height();
    if (surface.width !== width || surface.height !== height) {
      surface.width = width;
      surface.height = height;
    }
    const pointer = runner._moxy_frame();
    const pixels = new Uint8ClampedArray(runner.HEAPU8.subarray(pointer, pointer + width * height * 4));
    context.putImageData(new ImageData(pixels, width, height), 0, 0);
    if (page.frames++ === 0)
      page.firstFrame = performance.now();
  }

  function finish(end) {
    page.state = 'ended';
    page.ended = performance.now();
    if (end === FAILED) {
      page.report = handedText(runner._moxy_report());
      reportBox.textContent = page.report;
      reportBox.style.display = 'block';
    }
  }

  function ask(text, input) {
    page.state = 'dialog';
    dialogText.textContent = text;
    dialogInput.value = '';
    dialogInput.style.display = input ? '' : 'none';
    cancelButton.style.display = input ? '' : 'none';
    dialog.returnValue = '';
    dialog.onclose = () => {
      if (input) {
        const answer = dialog.returnValue === 'ok' ? dialogInput.value : '';
        inMemory(latin1Bytes(answer), (pointer, size) => runner._moxy_answer(pointer, size));
      }
      page.state = 'running';
      surface.focus();
      requestAnimationFrame(frame);
    };
    dialog.showModal();
    ++page.dialogs;
    if (input)
      dialogInput.focus();
  }

  // A program that does not yield goes on in the next task, not the next frame: the page
  // handles its events in between and the run loses no time waiting for the display.
  const channel = new MessageChannel();
  channel.port1.onmessage = () => frame();
  const soon = () => channel.port2.postMessage(null);

  function frame() {
    if (page.state !== 'running')
      return;
    const start = performance.now();
    for (;;) {
      if (performance.now() < pauseUntil)
        break;
      const end = runner._moxy_resume(SLICE_STEPS);
      if (end === YIELDED)
        break;
      if (end === BUDGET) {
        if (performance.now() - start < FRAME_MILLISECONDS)
          continue;
        paint();
        soon();
        return;
      }
      paint();
      if (end === INPUT_BOX || end === MESSAGE_BOX) {
        const request = host.text(runner._moxy_request(), runner._moxy_request_size());
        ask(request, end === INPUT_BOX);
      } else {
        finish(end);
      }
      return;
    }
    paint();
    requestAnimationFrame(frame);
  }

  // The key table's codes: letters and digits by their character, the arrows, Enter and
  // Space as the runner knows them.
  function keyCode(event) {
    const code = event.code || '';
    if (/^Key[A-Z]$/.test(code)) return code.charCodeAt(3);
    if (/^Digit[0-9]$/.test(code)) return code.charCodeAt(5);
    return { ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, Enter: 13, NumpadEnter: 13, Space: 32 }[code] || 0;
  }
  const keyNames = { 37: '\u2190', 38: '\u2191', 39: '\u2192', 40: '\u2193', 13: 'Enter', 32: 'Space' };

  function listen() {
    const onKey = (down) => (event) => {
      if (page.state !== 'running' || event.repeat)
        return;
      const code = keyCode(event);
      if (!code)
        return;
      runner._moxy_key(code, down ? 1 : 0);
      event.preventDefault();
    };
    window.addEventListener('keydown', onKey(true));
    window.addEventListener('keyup', onKey(false));
    // Keys held when the page loses the keyboard would never come up.
    window.addEventListener('blur', () => {
      for (const code of [13, 32, 37, 38, 39, 40, ...Array.from({ length: 10 }, (_, i) => 48 + i),
                          ...Array.from({ length: 26 }, (_, i) => 65 + i)])
        runner._moxy_key(code, 0);
    });
    // On touch screens, a button for every key the program reads.
    if (('ontouchstart' in window) || navigator.maxTouchPoints > 0 || /[?&]touch\b/.test(location.search)) {
      const keys = document.getElementById('moxy-keys');
      const codes = handedText(runner._moxy_keys_read());
      for (const text of codes ? codes.split(',') : []) {
        const code = Number(text);
        const button = document.createElement('button');
        button.textContent = keyNames[code] || String.fromCharCode(code);
        button.dataset.key = text;
        button.addEventListener('pointerdown', (event) => { event.preventDefault(); runner._moxy_key(code, 1); });
        for (const type of ['pointerup', 'pointercancel', 'pointerleave'])
          button.addEventListener(type, () => runner._moxy_key(code, 0));
        keys.appendChild(button);
      }
      if (keys.children.length)
        keys.style.display = 'flex';
    }
  }

  async function start() {
    runner = await createMoxyRunner({ host });
    const addFile = (name, bytes) =>
      inMemory(latin1Bytes(name), (namePointer) =>
        inMemory(bytes, (pointer, size) => runner._moxy_add_file(namePointer, pointer, size)));
    for (const file of data.files) {
      const bytes = bytesOf(file.data);
      addFile(file.name, bytes);
      const picture = await decode(bytes);
      inMemory(latin1Bytes(file.name), (namePointer) => {
        if (!picture)
          return runner._moxy_add_picture(namePointer, 0, 0, 0);
        inMemory(new Uint8Array(picture.data.buffer), (pointer) =>
          runner._moxy_add_picture(namePointer, picture.width, picture.height, pointer));
      });
    }
    // Files the program wrote on earlier visits replace the page's own.
    for (let i = 0; i < localStorage.length; ++i) {
      const key = localStorage.key(i);
      if (key.startsWith(storagePrefix))
        addFile(key.slice(storagePrefix.length), latin1Bytes(localStorage.getItem(key)));
    }
    const program = bytesOf(data.program);
    const map = bytesOf(data.map || '');
    inMemory(program, (pointer, size) =>
      inMemory(map, (mapPointer, mapSize) => runner._moxy_start(pointer, size, mapPointer, mapSize)));
    listen();
    surface.focus();
    page.state = 'running';
    page.started = performance.now();
    requestAnimationFrame(frame);
  }

  start().catch((error) => {
    page.state = 'ended';
    page.report = 'moxy: the runner could not start: ' + error;
    reportBox.textContent = page.report;
    reportBox.style.display = 'block';
  });
})();
