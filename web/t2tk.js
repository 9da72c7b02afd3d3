// t2tk in the browser: presets converted in the page by the WebAssembly build
// of the native core, offered for download, or sent through Web MIDI on the
// module's own schedule (the core gives each message the spacing it needs).
// Nothing runs while the page waits for the user.
//
// Served, the core comes from t2tk-core.js beside this script; in the page
// that is one file (t2tk.html), a script before this one defines it.

// Until the page can convert, a drop is taken from the browser (which would
// open the file in the tab) and left alone.
let onDrop = null;
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', (event) => {
  if (!event.relatedTarget) {
    document.body.classList.remove('dragging');
  }
});
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  // What was dropped can be read only while the event lasts.
  const entries = [...event.dataTransfer.items ?? []].map((item) => item.webkitGetAsEntry?.());
  onDrop?.([...event.dataTransfer.files], entries);
});

const createCore = globalThis.createCore ?? (await import('./t2tk-core.js')).default;
const core = await createCore();
const call = (name, returns, types, ...args) => core.ccall(name, returns, types, args);

const kMaxPresets = 50;
const kStoring = 500;  // ms the module takes to store a preset once asked
const kStored = 't2tk';
// Bytes of a download's name in UTF-8: 255, what a file name may hold on the
// usual disks, less the ".crdownload" Chromium adds while it saves (a longer
// name makes it give the download up). A name's UTF-16 units, Windows' count,
// are never more than its UTF-8 bytes.
const kLongestName = 244;
// What would not read as it is: controls, the marks that turn text around
// or take no room (line and paragraph breaks, variation selectors, tags),
// and the letters and blanks that show nothing.
const kUnreadable = new RegExp('[\\u0000-\\u001f\\u007f-\\u009f\\u00ad\\u034f\\u061c\\u115f\\u1160\\u180b-\\u180f' +
                               '\\u200b-\\u200f\\u2028-\\u202e\\u2060-\\u206f\\u2800\\u3164\\ufe00-\\ufe0f\\ufeff' +
                               '\\uffa0\\ufff9-\\ufffb\\u{1d173}-\\u{1d17a}\\u{e0000}-\\u{e007f}\\u{e0100}-\\u{e01ef}]',
                               'gu');

// The conversion, as t2tk-convert does it: presets in, the file's bytes and
// name out, with what was read of each preset.
export function convertPresets(presets, {slot = 0, compatibility = false, raw = false} = {}) {
  presets.forEach((preset, i) => {
    const at = call('t2tk_preset_space', 'number', ['number', 'number'], i, preset.bytes.length);
    core.HEAPU8.set(preset.bytes, at);
  });
  const written = call('t2tk_convert', 'number', ['number', 'number', 'number', 'number'],
                       presets.length, slot, compatibility ? 1 : 0, raw ? 1 : 0) === 1;
  const result = {written, failure: call('t2tk_failure', 'string', [])};
  if (!written) {
    return result;
  }
  const start = call('t2tk_output', 'number', []);
  result.bytes = core.HEAPU8.slice(start, start + call('t2tk_output_size', 'number', []));
  result.name = OutputName(presets.length ? presets[0].name : '', presets.length, raw);
  result.warnings = presets.map((preset, i) =>
    call('t2tk_preset_warning', 'string', ['number', 'string'], i, Shown(preset.name)));
  result.incomplete = call('t2tk_incomplete', 'string', []);
  result.steps = Steps();
  return result;
}

// The name t2tk-convert gives the file of count presets, the first read from a file called first.
function OutputName(first, count, raw) {
  return call('t2tk_output_name', 'string', ['string', 'number', 'number'], first, count, raw ? 1 : 0);
}

// The last conversion's messages as a send takes them, from one table.
function Steps() {
  const count = call('t2tk_step_count', 'number', []);
  const table = core.HEAPF64.slice(call('t2tk_steps', 'number', []) / 8, call('t2tk_steps', 'number', []) / 8 + 7 * count);
  const start = call('t2tk_messages', 'number', []);
  // One copy of the messages; each step's bytes a view into it.
  const messages = core.HEAPU8.slice(start, start + (count ? table[7 * (count - 1)] + table[7 * (count - 1) + 1] : 0));
  const names = new Map();
  const steps = [];
  for (let i = 0; i < count; ++i) {
    const [offset, length, spacing, preset, program, stores, left] = table.subarray(7 * i, 7 * i + 7);
    if (!names.has(preset)) {
      names.set(preset, call('t2tk_preset_name', 'string', ['number'], preset));
    }
    steps.push({bytes: messages.subarray(offset, offset + length), spacing, preset, program,
                name: names.get(preset), stores: stores === 1, left});
  }
  return steps;
}

// A name from outside (a file's, a port's) as the page shows it: what would
// not read as it is made "_", as in the name a download gets.
function Shown(name) {
  return name.replace(kUnreadable, '_');
}

// The time left as minutes and seconds, rounded up: "0:23".
function TimeLeft(ms) {
  const seconds = Math.ceil(ms / 1000);
  return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
}

function Programs(first, last) {
  return first === last ? `program ${first}` : `programs ${first} to ${last}`;
}

// "program 7", "programs 7 and 9", "programs 7, 9 and 12", as the native account names them.
function Listed(programs) {
  return programs.length === 1 ? `program ${programs[0]}`
                               : `programs ${programs.slice(0, -1).join(', ')} and ${programs.at(-1)}`;
}

// Sleeps that a hidden page does not stretch. Chromium wakes a hidden page's
// own timers once a second, and after five minutes once a minute; a
// dedicated worker's timers keep their time, and the page wakes when the
// worker posts. The page's own timer stands by, should no worker answer.
function Clock() {
  const source = URL.createObjectURL(new Blob(['onmessage = ({data}) => setTimeout(() => postMessage(data), data.ms);'],
                                              {type: 'text/javascript'}));
  let worker = null;
  try {
    worker = new Worker(source);
  } catch {
    worker = null;
  }
  let woken = null;
  let timer = null;
  let sleeps = 0;
  const wake = () => {
    clearTimeout(timer);
    const done = woken;
    woken = null;
    done?.();
  };
  if (worker) {
    worker.onmessage = ({data}) => data.n === sleeps && wake();  // a wake-up for a sleep that is over is none
  }
  return {
    sleep: (ms) => new Promise((done) => {
      woken = done;
      worker?.postMessage({ms: Math.max(0, ms), n: ++sleeps});
      timer = setTimeout(wake, Math.max(0, ms));
    }),
    wake,
    end: () => {
      worker?.terminate();
      URL.revokeObjectURL(source);
    },
  };
}

// Sends the steps to output. A message is handed to the browser, with the
// exact time it is to go, once the one before has gone: no sooner than its
// spacing after it, and, where a late wake-up has passed that, at once, so
// that the rest move later and are never bunched up. Only one message at a
// time is the browser's, which sends it whatever happens (Web MIDI takes
// nothing back). onStep tells each message as its time comes; stop() and
// gone() are seen whenever the clock wakes. A preset counts as stored once
// its store request was handed over and the module's storing time has
// passed; a port that went takes nothing that was to go after it went.
async function sendSteps(output, steps, {clock, stop = () => false, gone = () => false, onStep = () => {}}) {
  const start = performance.now();
  const times = [];  // when each message handed over goes
  let told = 0;
  let ending = 'done';
  let until = Infinity;  // the time after which nothing more goes out
  for (;;) {
    const now = performance.now();
    if (told < times.length && times[told] <= now) {
      onStep(steps[told], told);
      ++told;
    }
    if (stop()) {
      ending = 'stopped';
      break;
    }
    if (gone()) {
      ending = 'gone';
      until = now;
      break;
    }
    if (told === times.length) {
      if (told === steps.length) {
        break;
      }
      const at = Math.max((told ? times[told - 1] : start) + steps[told].spacing, now);
      try {
        output.send(steps[told].bytes, at);
      } catch {
        ending = 'failed';
        break;
      }
      times.push(at);
    }
    await clock.sleep(times[told] - performance.now());
  }
  // The account waits until the message handed over has gone, and until the
  // module has stored what it was asked to store.
  const handed = times.filter((at) => at <= until);
  const stores = handed.flatMap((at, i) => (steps[i].stores ? [steps[i]] : []));
  const end = Math.max(handed.at(-1) ?? 0, stores.length ? times[steps.indexOf(stores.at(-1))] + kStoring : 0);
  while (performance.now() < end) {
    await clock.sleep(end - performance.now());
  }
  if (told < handed.length) {
    onStep(steps[told], told);
  }
  return {ending, handed: handed.length, stored: stores.length, stillToGo: handed.length - told};
}

// The name a download gets, as the browser saves it: the characters no file
// name takes made "_", and a name too long for the disk shortened by whole
// characters, its extension (the core's ".mid" or ".syx") kept. A name left
// with nothing before its extension takes fallback, the name of a conversion
// of several presets.
function downloadName(name, fallback) {
  const dot = name.lastIndexOf('.');
  const extension = name.slice(dot);
  const bytes = (text) => new TextEncoder().encode(text).length;
  let stem = name.slice(0, dot).replace(kUnreadable, '_').replace(/[<>:"/\\|?*]/g, '_').replace(/^[ .]+/, '');
  if (bytes(stem) + bytes(extension) > kLongestName) {
    let room = kLongestName - bytes(extension);
    let kept = '';
    // Characters as the reader sees them (a letter with its accents), else code points.
    for (const character of Intl.Segmenter ? [...new Intl.Segmenter().segment(stem)].map((part) => part.segment)
                                           : [...stem]) {
      room -= bytes(character);
      if (room < 0) {
        break;
      }
      kept += character;
    }
    stem = kept.replace(/[ .]+$/, '');
  }
  return stem ? stem + extension : fallback;
}

// The settings as stored, each value read on its own: what is not one of
// ours falls back to its default, and a storage that cannot be read is none.
function ReadSettings() {
  let stored = {};
  try {
    const parsed = JSON.parse(localStorage.getItem(kStored) ?? '{}');
    stored = parsed !== null && typeof parsed === 'object' && !Array.isArray(parsed) ? parsed : {};
  } catch {
    stored = {};
  }
  return {
    program: Number.isInteger(stored.program) && stored.program >= 0 && stored.program <= 49 ? stored.program : 0,
    compatibility: stored.compatibility === true,
    format: stored.format === 'syx' ? 'syx' : 'mid',
    sendPort: typeof stored.sendPort === 'string' ? stored.sendPort : '',
  };
}

// The page.
const $ = (id) => document.getElementById(id);
const program = $('program');
const slider = $('slider');
const sendTo = $('send-to');
const settings = ReadSettings();
let slot = settings.program;
let storedPort = settings.sendPort;  // kept until another is chosen, looked for when used
let midi = null;      // the MIDIAccess, once the user asked to send
let busy = '';        // 'converting', or 'sending' while the conversion's send is under way
let sending = null;   // the send under way: {stop}
let last = null;      // the last presets, for "Convert again" and "Send again"
const kRefused = {
  converting: 'These presets came while others were being converted, and were left alone: drop or choose them again.',
  sending: 'A conversion is being sent: convert again once it is done, or cancel it.',
};

slider.max = call('t2tk_slider_maximum', 'number', []);
slider.step = call('t2tk_slider_step', 'number', []);
$('compatibility').checked = settings.compatibility;
for (const format of document.querySelectorAll('[name=format]')) {
  format.checked = format.value === settings.format;
}

function Save() {
  try {
    localStorage.setItem(kStored, JSON.stringify({
      program: slot,
      compatibility: $('compatibility').checked,
      format: document.querySelector('[name=format]:checked').value,
      sendPort: storedPort,
    }));
  } catch {
    // A page that may not store keeps its settings while it is open.
  }
}

function ShowSlot() {
  slider.value = String(call('t2tk_slider_for_slot', 'number', ['number'], slot));
  slider.setAttribute('aria-valuetext', `Program ${slot + 1}`);
}

// The field says the program in use, rewritten only where it says another,
// with the caret where the user left it.
function ShowProgram() {
  if (program.value !== String(slot + 1)) {
    const [start, end] = [program.selectionStart, program.selectionEnd];
    program.value = String(slot + 1);
    program.setSelectionRange(start, end);
  }
  ShowSlot();
}

// The program field reads as the dialog's: digits only, typed or pasted;
// while it is typed in, empty and 0 wait for the next digit, the first three
// are taken as typed from 1 to 50, and only a number above it is rewritten.
program.addEventListener('beforeinput', (event) => {
  if (/[^0-9]/.test(event.data ?? '')) {
    event.preventDefault();
  }
});
program.addEventListener('input', () => {
  const entry = call('t2tk_read_program', 'number', ['string'], program.value);
  if (entry < 0) {
    return;
  }
  slot = entry % 100;
  if (entry >= 100) {
    ShowProgram();
  } else {
    ShowSlot();
  }
  Save();
});
program.addEventListener('blur', ShowProgram);
// Enter applies the number, and nothing else.
program.addEventListener('keydown', (event) => {
  if (event.key === 'Enter') {
    event.preventDefault();
    ShowProgram();
  }
});
slider.addEventListener('input', () => {
  slot = call('t2tk_slot_from_slider', 'number', ['number'], Number(slider.value));
  ShowProgram();
  Save();
});
$('compatibility').addEventListener('change', Save);
for (const format of document.querySelectorAll('[name=format]')) {
  format.addEventListener('change', Save);
}
ShowProgram();

// Why Web MIDI cannot send here, in one line.
function NoMidi() {
  const agent = navigator.userAgent;
  if (!('requestMIDIAccess' in navigator)) {
    return /Safari/.test(agent) && !/Chrome|Chromium/.test(agent)
      ? 'Safari has no Web MIDI: this page converts here, but cannot send.'
      : 'This browser has no Web MIDI: this page converts here, but cannot send.';
  }
  if (/Firefox/.test(agent)) {
    return 'Firefox sends MIDI through the site permission add-on it offers: allow it, then choose the port again.';
  }
  return 'Sending was not allowed: allow MIDI devices for this site in the browser\u2019s site settings, then choose ' +
         'the port again.';
}

// The box: "File only", the ports (the stored one among them, by its name,
// until MIDI access is asked for), and "A MIDI port...". A port is shown as
// a file name is; one that would look like the page's own entries says it
// is a port.
function ListPorts(chosen) {
  for (const option of [...sendTo.options].slice(1)) {
    option.remove();
  }
  const own = [sendTo.options[0].text, 'A MIDI port\u2026'];
  const add = (name, value) => {
    const shown = Shown(name);
    sendTo.add(new Option(own.includes(shown) ? `${shown} (a MIDI port)` : shown, value, false, name === chosen));
  };
  const outputs = midi ? [...midi.outputs.values()] : [];
  for (const output of outputs) {
    add(output.name, output.id);
  }
  if (!midi && chosen) {
    add(chosen, 'stored');
  }
  sendTo.add(new Option(own[1], '?'));
  if (chosen && midi && !outputs.some((output) => output.name === chosen)) {
    sendTo.value = '';
  }
}

// The name of the port chosen, as the system gives it; empty for none.
function ChosenName() {
  return sendTo.value === 'stored' ? storedPort : midi?.outputs.get(sendTo.value)?.name ?? '';
}

// "Convert again" once there are presets; "Send again", and what to know
// before sending, only while a port is chosen too.
function ShowAgain() {
  $('again').disabled = !last;
  $('send-again').disabled = !last || sendTo.value === '' || sendTo.value === '?';
  $('send-hint').hidden = sendTo.value === '' || sendTo.value === '?';
}

// Permission is asked only on the user's action: choosing a port, or a
// conversion while the stored one is chosen.
async function AskForMidi(chosen) {
  $('midi-note').textContent = '';
  try {
    if (!('requestMIDIAccess' in navigator)) {
      throw null;
    }
    midi ??= await navigator.requestMIDIAccess({sysex: true});
    midi.onstatechange = () => {
      ListPorts(ChosenName());
      ShowAgain();
    };
    ListPorts(chosen);
    if (!midi.outputs.size) {
      $('midi-note').textContent = 'No MIDI output port is connected: connect the module, then choose its port.';
    } else if (chosen && sendTo.value === '') {
      $('midi-note').textContent = `The MIDI port ${Shown(chosen)} is not here: conversions go to a file only.`;
    }
  } catch {
    midi = null;
    ListPorts('');
    $('midi-note').textContent = NoMidi();
  }
}

sendTo.addEventListener('change', async () => {
  if (sendTo.value === '?') {
    await AskForMidi('');
  }
  storedPort = ChosenName();
  Save();
  ShowAgain();
});
ListPorts(storedPort);
ShowAgain();

// The port the conversions go to now, or null.
async function ChosenPort() {
  if (sendTo.value === 'stored') {
    await AskForMidi(storedPort);
  }
  return midi && sendTo.value && sendTo.value !== '?' ? midi.outputs.get(sendTo.value) ?? null : null;
}

// What a conversion says, and the presets it read, each with its warnings,
// a line each, and, during and after a send, where its program stands; the
// send's account, if any, comes below, in a paragraph of its own.
function Show(text, items) {
  $('status').textContent = text;
  Tell('');
  $('presets').replaceChildren(...items.map(([line, warnings]) => {
    const item = document.createElement('li');
    const state = document.createElement('span');
    state.className = 'state';
    item.append(line, state);
    for (const warning of warnings ? warnings.split('\n') : []) {
      const note = document.createElement('div');
      note.className = 'warning';
      note.textContent = warning;
      item.append(note);
    }
    return item;
  }));
  $('result').scrollIntoView({block: 'nearest'});
}

// The program of preset (1-based) in the list: "waiting", "sending", "stored" or "not stored".
function ShowState(preset, state) {
  const shown = $('presets').children[preset - 1]?.querySelector('.state');
  if (shown) {
    shown.textContent = ` (${state})`;
    shown.dataset.state = state;
  }
}

// Changes what the page shows during a send without taking Cancel out of
// sight: the progress, wholly in view before, is kept in view however the
// lines in it or above it grow; one the user scrolled away from stays away.
function KeepingProgress(change) {
  const progress = $('progress');
  const {top, bottom} = progress.getBoundingClientRect();
  const seen = !progress.hidden && top > -1 && bottom < innerHeight + 1;  // give or take a part of a pixel
  change();
  if (seen) {
    progress.scrollIntoView({block: 'nearest'});
  }
}

// What became of a send, a failure in the warnings' colour.
function Tell(text, failed = false) {
  $('outcome').textContent = text;
  $('outcome').classList.toggle('warning', failed);
}

function Download(bytes, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], {type: name.endsWith('.syx') ? 'application/octet-stream' : 'audio/midi'}));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}

// The files' bytes; what is a folder, or cannot be read, is named.
async function ReadFiles(files, entries) {
  const presets = [];
  const leftOut = [];
  for (const [i, file] of files.entries()) {
    try {
      if (entries?.[i]?.isDirectory) {
        throw null;
      }
      presets.push({name: file.name, bytes: new Uint8Array(await file.arrayBuffer())});
    } catch {
      leftOut.push(Shown(file.name));
    }
  }
  return {presets, leftOut};
}

// Asks whether to send what is not a complete preset (it, or them); true to send.
function AskToSend(question, it) {
  $('question-text').textContent = question;
  $('send-anyway').textContent = `Send ${it} anyway`;
  $('question').hidden = false;
  $('send-anyway').focus();
  return new Promise((answer) => {
    const done = (send) => {
      $('question').hidden = true;
      answer(send);
    };
    $('send-anyway').onclick = () => done(true);
    $('dont-send').onclick = () => done(false);
  });
}

// Converts what was dropped or chosen (how says which). The page is busy from
// the first moment, so that a second drop in the same moment is refused, not
// mixed in.
async function Convert(files, entries, how) {
  if (busy) {
    KeepingProgress(() => {
      $('notice').textContent = kRefused[busy];
    });
    return;
  }
  busy = 'converting';
  $('notice').textContent = '';
  try {
    const {presets, leftOut} = await ReadFiles(files, entries);
    if (leftOut.length) {
      const they = leftOut.length === 1 ? 'it is' : 'they are';
      $('notice').textContent = `Left out, since ${they} no file this page could read: ${leftOut.join(', ')}.`;
    }
    if (!presets.length) {
      if (leftOut.length) {
        Show(`Nothing converted: no preset among what was ${how}.`, []);
      }
      return;
    }
    last = {presets: presets.slice(0, kMaxPresets), leftOut: Math.max(0, presets.length - kMaxPresets)};
    ShowAgain();
    await ConvertLast({download: true});
  } finally {
    busy = '';
  }
}

async function ConvertLast({download}) {
  ShowProgram();  // the field shows the program the conversion takes
  const {presets, leftOut} = last;
  const raw = document.querySelector('[name=format]:checked').value === 'syx';
  const result = convertPresets(presets, {slot, compatibility: $('compatibility').checked, raw});
  if (!result.written) {
    Show(`Nothing converted: ${result.failure}`, []);
    return;
  }
  const name = downloadName(result.name, OutputName('', 2, raw));
  if (download) {
    Download(result.bytes, name);
  }
  const first = slot + 1;
  const past = first + presets.length - 1 - 50;  // presets past program 50, which all go to it
  const count = presets.length === 1 ? '1 preset' : `${presets.length} presets`;
  const said = [
    download ? `${Shown(name)} offered for download:` : 'Converted to send:',
    `${count}, ${Programs(first, Math.min(50, first + presets.length - 1))}.`,
    past > 0 ? `Presets ${presets.length - past} to ${presets.length} all go to program 50, the last there is.` : '',
    leftOut ? `${leftOut === 1 ? '1 file' : `${leftOut} files`} past the 50th left out.` : '',
    result.incomplete ? `${result.incomplete}.` : ''];
  const dumps = result.steps.filter((step, i) => i === 0 || step.preset !== result.steps[i - 1].preset);
  Show(said.filter(Boolean).join(' '), presets.map((preset, i) => [
    `${Shown(preset.name)}: \u201c${dumps[i]?.name ?? ''}\u201d, program ${dumps[i]?.program}`, result.warnings[i]]));
  const output = await ChosenPort();
  if (!output) {
    return;
  }
  const it = result.incomplete.startsWith('1 of') ? 'it' : 'them';
  if (result.incomplete && !await AskToSend(`${result.incomplete}; send ${it} anyway?`, it)) {
    Tell(`Nothing sent: ${result.incomplete}.`);
    return;
  }
  await Send(output, result.steps);
}

// Sends to output, one send per port among this page's tabs: another tab
// sending to it refuses this one. (Browsers lock only within one origin: a
// copy of the page from elsewhere, or another program, is not seen.)
async function Send(output, steps) {
  const run = () => Sending(output, steps);
  if (!navigator.locks) {
    return run();
  }
  return navigator.locks.request(`t2tk-send:${output.name}`, {ifAvailable: true}, async (lock) => {
    if (!lock) {
      Tell(`Nothing sent: another tab of this page is sending to ${Shown(output.name)}; send again once it is done.`,
           true);
      return;
    }
    await run();
  });
}

const kDuringSend = ['program', 'slider', 'compatibility', 'send-to', 'again', 'send-again', 'choose'];

async function Sending(output, steps) {
  let stopped = false;
  let gone = false;
  const clock = Clock();
  const focused = document.activeElement;
  const watch = (event) => {
    gone ||= event.port?.id === output.id && event.port.state === 'disconnected';
    clock.wake();
  };
  busy = 'sending';
  midi?.addEventListener('statechange', watch);
  sending = {stop: () => { stopped = true; clock.wake(); }};
  for (const control of [...kDuringSend.map($), ...document.querySelectorAll('[name=format]')]) {
    control.disabled = true;
  }
  const bar = $('bar');
  bar.max = steps.length;
  bar.value = 0;
  $('sending').textContent = `Sending to ${Shown(output.name)}\u2026`;
  $('progress').hidden = false;
  $('cancel').disabled = false;
  $('progress').scrollIntoView({block: 'nearest'});
  const presets = steps.length ? steps[steps.length - 1].preset : 0;
  for (let preset = 1; preset <= presets; ++preset) {
    ShowState(preset, 'waiting');
  }
  const result = await sendSteps(output, steps, {
    clock,
    stop: () => stopped,
    gone: () => gone || output.state === 'disconnected',
    onStep: (step, i) => {
      bar.value = i + 1;
      KeepingProgress(() => {
        $('sending').textContent = `Sending ${step.name} to program ${step.program} (${step.preset} of ${presets}), ` +
                                   `${TimeLeft(step.left)} left`;
      });
      // A preset's first message goes a second after the store request
      // before it, by when the module has stored the preset before.
      if (step.preset > 1 && steps[i - 1].preset !== step.preset) {
        ShowState(step.preset - 1, 'stored');
      }
      ShowState(step.preset, 'sending');
    },
  });
  clock.end();
  midi?.removeEventListener('statechange', watch);
  sending = null;
  for (const control of [...kDuringSend.map($), ...document.querySelectorAll('[name=format]')]) {
    control.disabled = false;
  }
  ShowAgain();
  $('progress').hidden = true;
  if ($('notice').textContent === kRefused.sending) {
    $('notice').textContent = '';
  }
  // The presets are stored in their order: the first ones, and none after them.
  const notStored = [];
  for (const step of steps) {
    if (step.preset > result.stored && !notStored.includes(step.program)) {
      notStored.push(step.program);
    }
  }
  for (let preset = 1; preset <= presets; ++preset) {
    ShowState(preset, preset <= result.stored ? 'stored' : 'not stored');
  }
  const port = Shown(output.name);
  const stored = `${result.stored} of ${presets} ${presets === 1 ? 'preset was' : 'presets were'} stored completely` +
                 (notStored.length ? ` (not stored: ${Listed(notStored)})` : '');
  Tell({
    done: `Sent ${presets} ${presets === 1 ? 'preset' : 'presets'} to ${port}.`,
    stopped: `Sending stopped: ${stored}.${
      result.stillToGo ? ' The message already handed to the browser still went out.' : ''}`,
    gone: `Sending failed: the MIDI port "${port}" is gone. ${stored}. Connect it again, then Send again.`,
    failed: result.handed
      ? `Sending failed: the MIDI port "${port}" took no more messages. ${stored}, if what was handed to the ` +
        'browser before went out. Check that the module is connected, then Send again.'
      : `Sending failed: the MIDI port "${port}" took no messages. ${stored}. Check that the module is connected, ` +
        'then Send again.',
  }[result.ending], result.ending === 'gone' || result.ending === 'failed');
  if (document.activeElement === document.body || document.activeElement === $('cancel')) {
    focused?.focus?.();
  }
}

$('cancel').addEventListener('click', () => {
  sending?.stop();
  $('cancel').disabled = true;
});
$('choose').addEventListener('click', () => $('files').click());
$('files').addEventListener('change', (event) => {
  Convert([...event.target.files], null, 'chosen');
  event.target.value = '';
});
$('again').addEventListener('click', () => Redo(true));
$('send-again').addEventListener('click', () => Redo(false));

async function Redo(download) {
  if (busy || !last) {
    return;
  }
  busy = 'converting';
  try {
    $('notice').textContent = '';
    await ConvertLast({download});
  } finally {
    busy = '';
  }
}

onDrop = (files, entries) => Convert(files, entries, 'dropped');
