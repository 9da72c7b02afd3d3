// t2tk in the browser: presets converted in the page by the WebAssembly build
// of the native core, downloaded, or sent through Web MIDI on the module's own
// schedule (the core gives each message the spacing it needs). Nothing runs
// while the page waits for the user.
import createCore from './t2tk-core.js';

const core = await createCore();
const call = (name, returns, types, ...args) => core.ccall(name, returns, types, args);

export const kMaxPresets = 50;
const kLead = 25;  // ms: a message is handed to the browser this early, with its exact time
const kStored = 't2tk';

// The conversion, as t2tk-convert does it: presets in, the file's bytes and
// name out, with what was read of each preset.
export function convertPresets(presets, {slot = 0, compatibility = false, raw = false} = {}) {
  core.FS.mkdirTree('/presets');
  presets.forEach((preset, i) => core.FS.writeFile(`/presets/${i}`, preset.bytes));
  const written = call('t2tk_convert', 'number', ['number', 'number', 'number', 'number'],
                       presets.length, slot, compatibility ? 1 : 0, raw ? 1 : 0) === 1;
  presets.forEach((preset, i) => core.FS.unlink(`/presets/${i}`));
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
  result.steps = Steps();
  return result;
}

// The last conversion's messages as a send takes them.
function Steps() {
  const messages = call('t2tk_messages', 'number', []);
  const steps = [];
  for (let i = 0; i < call('t2tk_steps', 'number', []); ++i) {
    const offset = messages + call('t2tk_step_offset', 'number', ['number'], i);
    steps.push({
      bytes: core.HEAPU8.slice(offset, offset + call('t2tk_step_length', 'number', ['number'], i)),
      spacing: call('t2tk_step_spacing', 'number', ['number'], i),
      preset: call('t2tk_step_preset', 'number', ['number'], i),
      program: call('t2tk_step_program', 'number', ['number'], i),
      name: call('t2tk_step_name', 'string', ['number'], i),
      stores: call('t2tk_step_stores', 'number', ['number'], i) === 1,
      left: call('t2tk_left_after', 'number', ['number'], i),
    });
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

// Sends the steps to output: each no sooner than its spacing after the one
// before went out, handed to the browser a little early with its exact time,
// so that a late wake-up moves the rest later and never bunches them up.
// Stops between two messages when stop() says so; ends when the port goes.
export async function sendSteps(output, steps, {stop = () => false, gone = () => false, onStep = () => {}} = {}) {
  const presets = steps.length ? steps[steps.length - 1].preset : 0;
  let stored = 0;
  let previous = performance.now();
  const wait = (until) => new Promise((done) => setTimeout(done, Math.max(0, until - performance.now())));
  for (const [i, step] of steps.entries()) {
    const due = previous + step.spacing;
    await wait(due - kLead);
    if (stop()) {
      return {ending: 'stopped', stored, presets};
    }
    if (gone()) {
      return {ending: 'failed', stored, presets, failure: `the MIDI port "${output.name}" is gone`};
    }
    const at = Math.max(due, performance.now());
    output.send(step.bytes, at);
    previous = at;
    stored += step.stores ? 1 : 0;
    onStep(step, i);
  }
  await wait(previous + (steps.length ? steps[steps.length - 1].left : 0));  // the module's time to store the last
  return stop() ? {ending: 'stopped', stored, presets} : {ending: 'done', stored, presets};
}

// The page.
const $ = (id) => document.getElementById(id);
const program = $('program');
const slider = $('slider');
const sendTo = $('send-to');
const settings = JSON.parse(localStorage.getItem(kStored) || '{}');
let slot = Number.isInteger(settings.program) && settings.program >= 0 && settings.program <= 49 ? settings.program : 0;
let midi = null;      // the MIDIAccess, once the user asked to send
let sending = null;   // the send under way: {stop, port}

slider.max = call('t2tk_slider_maximum', 'number', []);
slider.step = call('t2tk_slider_step', 'number', []);
$('compatibility').checked = Boolean(settings.compatibility);
for (const format of document.querySelectorAll('[name=format]')) {
  format.checked = format.value === (settings.format === 'syx' ? 'syx' : 'mid');
}

function Save() {
  localStorage.setItem(kStored, JSON.stringify({
    program: slot,
    compatibility: $('compatibility').checked,
    format: document.querySelector('[name=format]:checked').value,
    sendPort: sendTo.value && sendTo.value !== '?' ? sendTo.selectedOptions[0].textContent : '',
  }));
}

function ShowProgram() {
  program.value = String(slot + 1);
  slider.value = String(call('t2tk_slider_for_slot', 'number', ['number'], slot));
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
  slider.value = String(call('t2tk_slider_for_slot', 'number', ['number'], slot));
  Save();
});
program.addEventListener('blur', ShowProgram);
slider.addEventListener('input', () => {
  slot = call('t2tk_slot_from_slider', 'number', ['number'], Number(slider.value));
  program.value = String(slot + 1);
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

function ListPorts(chosen) {
  for (const option of [...sendTo.options].slice(1)) {
    option.remove();
  }
  for (const output of midi ? midi.outputs.values() : []) {
    sendTo.add(new Option(output.name, output.id, false, output.name === chosen));
  }
  sendTo.add(new Option('A MIDI port\u2026', '?'));
  if (!midi || ![...midi.outputs.values()].some((output) => output.name === chosen)) {
    sendTo.value = '';
  }
}

// Permission is asked only when the user picks sending.
async function AskForMidi(chosen) {
  $('midi-note').textContent = '';
  try {
    if (!('requestMIDIAccess' in navigator)) {
      throw null;
    }
    midi = await navigator.requestMIDIAccess({sysex: true});
    midi.addEventListener('statechange', () => ListPorts(sendTo.selectedOptions[0]?.textContent));
    ListPorts(chosen);
    if (!midi.outputs.size) {
      $('midi-note').textContent = 'No MIDI output port is connected.';
    }
  } catch (error) {
    midi = null;
    ListPorts('');
    $('midi-note').textContent = NoMidi(error);
  }
}

sendTo.addEventListener('change', () => {
  if (sendTo.value === '?') {
    AskForMidi('');
  }
  Save();
});
if (settings.sendPort) {
  AskForMidi(settings.sendPort);
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
}

function Download(bytes, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], {type: name.endsWith('.syx') ? 'application/octet-stream' : 'audio/midi'}));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}

async function Convert(files) {
  if (sending) {
    $('status').textContent = 'A conversion is being sent; convert again once it is done.';
    return;
  }
  if (!files.length) {
    return;
  }
  const leftOut = Math.max(0, files.length - kMaxPresets);
  const presets = await Promise.all([...files].slice(0, kMaxPresets).map(async (file) =>
    ({name: file.name, bytes: new Uint8Array(await file.arrayBuffer())})));
  const raw = document.querySelector('[name=format]:checked').value === 'syx';
  const result = convertPresets(presets, {slot, compatibility: $('compatibility').checked, raw});
  if (!result.written) {
    Show(`Nothing written: ${result.failure}`, []);
    return;
  }
  Download(result.bytes, result.name);
  const overflow = call('t2tk_overflow_warning', 'string', ['number', 'number'], slot + 1, presets.length);
  const dumps = result.steps.filter((step, i) => i === 0 || step.preset !== result.steps[i - 1].preset);
  Show(call('t2tk_describe', 'string', ['string', 'number', 'number', 'number'], result.name, presets.length, slot,
            leftOut) + (overflow ? ` ${overflow}.` : ''),
       presets.map((preset, i) => [`${preset.name}: \u201c${dumps[i]?.name ?? ''}\u201d, program ${dumps[i]?.program}`,
                                   result.warnings[i]]));
  const output = midi && sendTo.value && sendTo.value !== '?' ? midi.outputs.get(sendTo.value) : null;
  if (output) {
    await Send(output, result.steps);
  }
}

async function Send(output, steps) {
  let stopped = false;
  let gone = false;
  const watch = (event) => {
    gone ||= event.port.id === output.id && event.port.state === 'disconnected';
  };
  midi.addEventListener('statechange', watch);
  sending = {stop: () => { stopped = true; }};
  const bar = $('bar');
  bar.max = steps.length;
  bar.value = 0;
  $('progress').hidden = false;
  $('cancel').disabled = false;
  const presets = steps.length ? steps[steps.length - 1].preset : 0;
  const result = await sendSteps(output, steps, {
    stop: () => stopped,
    gone: () => gone || output.state === 'disconnected',
    onStep: (step, i) => {
      bar.value = i + 1;
      $('sending').textContent = `Sending ${step.name} to program ${step.program} (${step.preset} of ${presets}), ` +
                                 `${TimeLeft(step.left)} left`;
    },
  });
  midi.removeEventListener('statechange', watch);
  sending = null;
  $('progress').hidden = true;
  const said = result.ending === 'done'
    ? `Sent ${result.presets} ${result.presets === 1 ? 'preset' : 'presets'} to ${output.name}.`
    : result.ending === 'stopped' ? `Sending stopped: ${Stored(result.stored, result.presets)}.`
      : `Sending failed, ${result.failure}: ${Stored(result.stored, result.presets)}.`;
  $('status').textContent += ` ${said}`;
}

$('cancel').addEventListener('click', () => {
  sending?.stop();
  $('cancel').disabled = true;
});
$('choose').addEventListener('click', () => $('files').click());
$('files').addEventListener('change', (event) => {
  Convert(event.target.files);
  event.target.value = '';
});
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
  Convert(event.dataTransfer.files);
});
