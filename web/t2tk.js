// t2tk in the browser: presets converted in the page by the WebAssembly build
// of the native core, downloaded, or sent through Web MIDI on the module's own
// schedule (the core gives each message the spacing it needs). Nothing runs
// while the page waits for the user.
//
// Served, the core comes from t2tk-core.js beside this script; in the page
// that is one file (t2tk.html), a script before this one defines it.
const createCore = globalThis.createCore ?? (await import('./t2tk-core.js')).default;
const core = await createCore();
const call = (name, returns, types, ...args) => core.ccall(name, returns, types, args);

export const kMaxPresets = 50;
// How far ahead a message is handed to the browser, with the exact time it is
// to go: the browser's timers only top the queue up. A visible page's timers
// wake when asked; a hidden one's as seldom as once a minute, and its queue
// lasts longer than that.
export const kLead = 3000;
export const kHiddenLead = 70000;
const kStoring = 500;  // ms the module takes to store a preset once asked
const kStored = 't2tk';
const kLongestName = 200;  // characters of a download's name, its extension kept

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
  result.name = call('t2tk_output_name', 'string', ['string', 'number', 'number'],
                     presets.length ? presets[0].name : '', presets.length, raw ? 1 : 0);
  result.warnings = presets.map((preset, i) =>
    call('t2tk_preset_warning', 'string', ['number', 'string'], i, preset.name));
  result.incomplete = call('t2tk_incomplete', 'string', []);
  result.steps = Steps();
  return result;
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

// The time left as minutes and seconds, rounded up: "0:23".
function TimeLeft(ms) {
  const seconds = Math.ceil(ms / 1000);
  return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
}

function Stored(stored, presets) {
  return `${stored} of ${presets} ${presets === 1 ? 'preset was' : 'presets were'} stored completely`;
}

// Sends the steps to output. Each message is handed to the browser up to
// lead() ms before it is to go, with that time: no sooner than its spacing
// after the one before, and, where a late wake-up has passed that, at once,
// so that the rest move later and are never bunched up. onStep tells each
// message as its time comes. Sees stop() and gone() whenever it wakes, and
// wakeUp.now() wakes it at once; what was handed over goes out whatever
// happens, and is told. A preset counts as stored once its store request has
// gone and the module's storing time has passed.
export async function sendSteps(output, steps, {stop = () => false, gone = () => false, onStep = () => {},
                                                lead = () => kLead, wakeUp = {}} = {}) {
  const presets = steps.length ? steps[steps.length - 1].preset : 0;
  const times = [];  // when each message handed over goes
  let previous = performance.now();
  let handed = 0;
  let told = 0;
  let ending = 'done';
  let failure = '';
  let timer = null;
  let woken = null;
  const wait = (until) => new Promise((done) => {
    woken = done;
    timer = setTimeout(done, Math.max(0, until - performance.now()));
  });
  wakeUp.now = () => {
    clearTimeout(timer);
    woken?.();
  };
  for (;;) {
    const now = performance.now();
    for (; told < handed && times[told] <= now; ++told) {
      onStep(steps[told], told);
    }
    if (stop()) {
      ending = 'stopped';
      break;
    }
    if (gone()) {
      ending = 'failed';
      failure = `the MIDI port "${output.name}" is gone`;
      break;
    }
    for (; handed < steps.length; ++handed) {
      const at = Math.max(previous + steps[handed].spacing, now);
      if (at > now + lead()) {
        break;
      }
      try {
        output.send(steps[handed].bytes, at);
      } catch (error) {
        ending = 'failed';
        failure = `the MIDI port "${output.name}" failed (${error?.name ?? error})`;
        break;
      }
      times.push(at);
      previous = at;
    }
    if (ending === 'failed' || (handed === steps.length && told === handed)) {
      break;
    }
    const nextToTell = told < handed ? times[told] : Infinity;
    const nextToHand = handed < steps.length ? Math.max(previous + steps[handed].spacing, now) - lead() : Infinity;
    await wait(Math.min(nextToTell, nextToHand));
  }
  // What was handed over goes out; the account waits until it has, and until
  // the module has stored what it was asked to store (but for a port gone,
  // which takes nothing more).
  const stores = times.filter((at, i) => steps[i].stores);
  const stillToGo = handed - told;
  if (ending !== 'failed') {
    await wait(Math.max(times.length ? times[times.length - 1] : 0, stores.length ? stores[stores.length - 1] + kStoring : 0));
  }
  const now = performance.now();
  for (; told < handed && times[told] <= now; ++told) {
    onStep(steps[told], told);
  }
  const stored = stores.filter((at) => at + kStoring <= now).length;
  return {ending, stored, presets, failure, stillWent: ending === 'stopped' ? stillToGo : 0};
}

// The name a download gets, as the browser saves it: the characters no file
// name takes made "_", and a name too long for the disk shortened, its
// extension kept.
export function downloadName(name) {
  let safe = name.replace(/[<>:"/\\|?*\u0000-\u001f\u007f-\u009f\u061c\u200b-\u200f\u202a-\u202e\u2060-\u2064\u2066-\u2069\ufeff]/g, '_')
    .replace(/^[ .]+|[ .]+$/g, '');
  const characters = [...safe];
  if (characters.length > kLongestName) {
    const dot = safe.lastIndexOf('.');
    const extension = dot > 0 ? [...safe.slice(dot)] : [];
    safe = characters.slice(0, kLongestName - extension.length).join('') + extension.join('');
  }
  return safe || 'Thumpkrate.mid';
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
let busy = false;     // a conversion or its send under way
let sending = null;   // the send under way: {stop}
let last = null;      // the last presets, for "Convert again" and "Send again"
const printable = (text) => call('t2tk_printable', 'string', ['string'], text);

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

function ShowProgram() {
  program.value = String(slot + 1);
  ShowSlot();
}

// The program field reads as the dialog's: at most three characters, held
// within 1 to 50, rewritten when it was out of range; empty changes nothing.
program.addEventListener('input', () => {
  const entry = call('t2tk_read_program', 'number', ['string'], program.value);
  if (entry < 0) {
    return;
  }
  slot = entry % 100;
  if (entry >= 100) {
    program.value = String(slot + 1);
  }
  ShowSlot();
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
  program.value = String(slot + 1);
  ShowSlot();
  Save();
});
$('compatibility').addEventListener('change', Save);
for (const format of document.querySelectorAll('[name=format]')) {
  format.addEventListener('change', Save);
}
ShowProgram();

// Why Web MIDI cannot send here, in one line.
function NoMidi(error) {
  const agent = navigator.userAgent;
  if (!('requestMIDIAccess' in navigator)) {
    return /Safari/.test(agent) && !/Chrome|Chromium/.test(agent)
      ? 'Safari has no Web MIDI: this page converts here, but cannot send.'
      : 'This browser has no Web MIDI: this page converts here, but cannot send.';
  }
  if (/Firefox/.test(agent)) {
    return 'Firefox sends MIDI through the site permission add-on it offers: allow it, then choose the port again.';
  }
  return `Sending was not allowed (${error?.name || 'refused'}): allow MIDI devices for this site, then choose the port again.`;
}

// The box: "File only", the ports (the stored one among them, by its name,
// until MIDI access is asked for), and "A MIDI port...".
function ListPorts(chosen) {
  for (const option of [...sendTo.options].slice(1)) {
    option.remove();
  }
  const names = midi ? [...midi.outputs.values()].map((output) => output.name) : [];
  for (const output of midi ? midi.outputs.values() : []) {
    sendTo.add(new Option(output.name, output.id, false, output.name === chosen));
  }
  if (!midi && chosen) {
    sendTo.add(new Option(chosen, 'stored', false, true));
  }
  sendTo.add(new Option('A MIDI port\u2026', '?'));
  if (chosen && midi && !names.includes(chosen)) {
    sendTo.value = '';
  }
}

// "Convert again" once there are presets; "Send again" only while a port is chosen too.
function ShowAgain() {
  $('again').disabled = !last;
  $('send-again').disabled = !last || sendTo.value === '' || sendTo.value === '?';
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
      ListPorts(sendTo.selectedOptions[0]?.textContent);
      ShowAgain();
    };
    ListPorts(chosen);
    if (!midi.outputs.size) {
      $('midi-note').textContent = 'No MIDI output port is connected.';
    } else if (chosen && sendTo.value === '') {
      $('midi-note').textContent = `The MIDI port ${printable(chosen)} is not here: conversions go to a file only.`;
    }
  } catch (error) {
    midi = null;
    ListPorts('');
    $('midi-note').textContent = NoMidi(error);
  }
}

sendTo.addEventListener('change', async () => {
  if (sendTo.value === '?') {
    await AskForMidi('');
  }
  storedPort = sendTo.value && sendTo.value !== '?' ? sendTo.selectedOptions[0].textContent : '';
  Save();
  ShowAgain();
});
ListPorts(storedPort);

// The port the conversions go to now, or null.
async function ChosenPort() {
  if (sendTo.value === 'stored') {
    await AskForMidi(storedPort);
  }
  return midi && sendTo.value && sendTo.value !== '?' ? midi.outputs.get(sendTo.value) ?? null : null;
}

function Show(text, items) {
  $('status').textContent = text;
  $('presets').replaceChildren(...items.map(([line, warning]) => {
    const item = document.createElement('li');
    item.textContent = line;
    if (warning) {
      const note = document.createElement('div');
      note.className = 'warning';
      note.textContent = warning;
      item.append(note);
    }
    return item;
  }));
  $('result').scrollIntoView({block: 'nearest'});
}

function Download(bytes, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], {type: name.endsWith('.syx') ? 'application/octet-stream' : 'audio/midi'}));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}

// The dropped or chosen items' bytes; what is no file (a folder) is named.
async function ReadFiles(files, items) {
  const presets = [];
  const notFiles = [];
  for (const [i, file] of [...files].entries()) {
    if (items?.[i]?.webkitGetAsEntry?.()?.isDirectory) {
      notFiles.push(file.name);
      continue;
    }
    try {
      presets.push({name: file.name, bytes: new Uint8Array(await file.arrayBuffer())});
    } catch {
      notFiles.push(file.name);
    }
  }
  return {presets, notFiles};
}

// Asks whether to send what is not a complete preset; true to send.
function AskToSend(question) {
  $('question-text').textContent = question;
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

// Converts what was dropped or chosen. The page is busy from the first
// moment, so that a second drop in the same moment is refused, not mixed in.
async function Convert(files, items) {
  if (busy) {
    $('notice').textContent = 'A conversion is being sent; convert again once it is done.';
    return;
  }
  busy = true;
  $('notice').textContent = '';
  try {
    const {presets, notFiles} = await ReadFiles(files, items);
    if (notFiles.length) {
      $('notice').textContent =
        `Left out, since ${notFiles.length === 1 ? 'it is' : 'they are'} no file: ${notFiles.map(printable).join(', ')}.`;
    }
    if (!presets.length) {
      if (notFiles.length) {
        Show('Nothing written: no preset among what was dropped.', []);
      }
      return;
    }
    last = {presets: presets.slice(0, kMaxPresets), leftOut: Math.max(0, presets.length - kMaxPresets)};
    ShowAgain();
    await ConvertLast({download: true});
  } finally {
    busy = false;
  }
}

async function ConvertLast({download}) {
  const {presets, leftOut} = last;
  const raw = document.querySelector('[name=format]:checked').value === 'syx';
  const result = convertPresets(presets, {slot, compatibility: $('compatibility').checked, raw});
  if (!result.written) {
    Show(`Nothing written: ${result.failure}`, []);
    return;
  }
  const name = downloadName(result.name);
  if (download) {
    Download(result.bytes, name);
  }
  const overflow = call('t2tk_overflow_warning', 'string', ['number', 'number'], slot + 1, presets.length);
  const said = download
    ? call('t2tk_describe', 'string', ['string', 'number', 'number', 'number'], printable(name), presets.length, slot,
           leftOut) + (overflow ? ` ${overflow}.` : '') + (result.incomplete ? ` ${result.incomplete}.` : '') +
      ' It is in the browser\u2019s downloads.'
    : `Converted ${presets.length === 1 ? '1 preset' : `${presets.length} presets`} to send.`;
  const dumps = result.steps.filter((step, i) => i === 0 || step.preset !== result.steps[i - 1].preset);
  Show(said, presets.map((preset, i) => [
    `${printable(preset.name)}: \u201c${dumps[i]?.name ?? ''}\u201d, program ${dumps[i]?.program}`,
    result.warnings[i] ? printable(result.warnings[i]) : '']));
  const output = await ChosenPort();
  if (!output) {
    return;
  }
  if (result.incomplete && !await AskToSend(`${result.incomplete}; send ${
    result.incomplete.startsWith('1 of') ? 'it' : 'them'} anyway?`)) {
    $('status').textContent += ` Nothing sent: ${result.incomplete}.`;
    return;
  }
  await Send(output, result.steps);
}

// Sends to output, one send per port in this browser: another page sending
// to it refuses this one.
async function Send(output, steps) {
  const run = () => Sending(output, steps);
  if (!navigator.locks) {
    return run();
  }
  return navigator.locks.request(`t2tk-send:${output.name}`, {ifAvailable: true}, async (lock) => {
    if (!lock) {
      $('status').textContent += ` Nothing sent: another page is sending to ${printable(output.name)}; send again once it is done.`;
      return;
    }
    await run();
  });
}

const kDuringSend = ['program', 'slider', 'compatibility', 'send-to', 'again', 'send-again', 'choose'];

async function Sending(output, steps) {
  let stopped = false;
  let gone = false;
  const focused = document.activeElement;
  const wakeUp = {};
  const watch = (event) => {
    gone ||= event.port?.id === output.id && event.port.state === 'disconnected';
    wakeUp.now?.();
  };
  const visibility = () => wakeUp.now?.();
  midi?.addEventListener('statechange', watch);
  document.addEventListener('visibilitychange', visibility);
  sending = {stop: () => { stopped = true; wakeUp.now?.(); }};
  for (const id of kDuringSend) {
    $(id).disabled = true;
  }
  for (const format of document.querySelectorAll('[name=format]')) {
    format.disabled = true;
  }
  const bar = $('bar');
  bar.max = steps.length;
  bar.value = 0;
  $('progress').hidden = false;
  $('cancel').disabled = false;
  const presets = steps.length ? steps[steps.length - 1].preset : 0;
  const result = await sendSteps(output, steps, {
    stop: () => stopped,
    gone: () => gone || output.state === 'disconnected',
    lead: () => (document.hidden ? kHiddenLead : kLead),
    wakeUp,
    onStep: (step, i) => {
      bar.value = i + 1;
      $('sending').textContent = `Sending ${step.name} to program ${step.program} (${step.preset} of ${presets}), ` +
                                 `${TimeLeft(step.left)} left`;
    },
  });
  midi?.removeEventListener('statechange', watch);
  document.removeEventListener('visibilitychange', visibility);
  sending = null;
  for (const id of kDuringSend) {
    $(id).disabled = false;
  }
  ShowAgain();
  for (const format of document.querySelectorAll('[name=format]')) {
    format.disabled = false;
  }
  $('progress').hidden = true;
  const handed = result.stillWent
    ? ` (${result.stillWent === 1 ? '1 message' : `${result.stillWent} messages`} already handed to the browser still went out)`
    : '';
  const said = result.ending === 'done'
    ? `Sent ${result.presets} ${result.presets === 1 ? 'preset' : 'presets'} to ${printable(output.name)}.`
    : result.ending === 'stopped' ? `Sending stopped${handed}: ${Stored(result.stored, result.presets)}.`
      : `Sending failed, ${printable(result.failure)}: ${Stored(result.stored, result.presets)}.`;
  $('status').textContent += ` ${said}`;
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
  Convert(event.target.files, null);
  event.target.value = '';
});
$('again').addEventListener('click', () => Redo(true));
$('send-again').addEventListener('click', () => Redo(false));

async function Redo(download) {
  if (busy || !last) {
    return;
  }
  busy = true;
  try {
    $('notice').textContent = '';
    await ConvertLast({download});
  } finally {
    busy = false;
  }
}

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
  Convert(event.dataTransfer.files, event.dataTransfer.items);
});
