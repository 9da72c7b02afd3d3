"""The web page's speed and size in headless Chromium: the whole road of 50
presets, from the files dropped to the bytes handed to the download (their
reading included), and the conversion alone (medians of 15, after five to
warm up); what the page
transfers (HTML, CSS, JavaScript, WebAssembly, icon); and a send of two
presets in a hidden tab to a Web MIDI double, at its real pace: how long it
took and how the messages' times kept the schedule. Writes the figures as JSON.
Usage: web_bench.py PAGE-FOLDER EXAMPLES-FOLDER OUTPUT.json"""
import base64
import json
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'web'))
from browser import chromium, serve  # noqa: E402

page, examples, output = sys.argv[1:4]
RECORDING = '''
    window.__sent = [];
    const output = {id: 'thump-a', name: 'Thump A', state: 'connected',
                    send(data, at) { window.__sent.push({type: data[4], at, now: performance.now()}); }};
    const access = new EventTarget();
    access.outputs = new Map([[output.id, output]]);
    navigator.requestMIDIAccess = () => Promise.resolve(access);'''
browser = chromium()
try:
    browser.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': RECORDING})
    browser.get(serve(page))
    presets = []
    names = sorted(os.listdir(examples))
    for i in range(50):
        with open(os.path.join(examples, names[i % len(names)]), 'rb') as file:
            presets.append([f'kit{i}.fxp', base64.b64encode(file.read()).decode()])
    figures = browser.execute_async_script('''
        const done = arguments[1];
        import('./t2tk.js').then(async ({convertPresets}) => {
            const files = arguments[0].map(([name, data]) =>
                new File([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))], name));
            const median = (times) => times.sort((a, b) => a - b)[times.length >> 1];
            // The whole road: the files' bytes read, converted, and the bytes
            // of the download made, as a drop does it.
            const road = [];
            const alone = [];
            for (let run = -5; run < 15; ++run) {  // five to warm up, as a page that has converted before
                const start = performance.now();
                const presets = await Promise.all(files.map(async (file) =>
                    ({name: file.name, bytes: new Uint8Array(await file.arrayBuffer())})));
                const converted = performance.now();
                const result = convertPresets(presets);
                const end = performance.now();
                new Blob([result.bytes]);
                if (run >= 0) {
                    road.push(performance.now() - start);
                    alone.push(end - converted);
                }
            }
            const loaded = [...performance.getEntriesByType('navigation'), ...performance.getEntriesByType('resource')];
            done({road_ms: median(road), convert_ms: median(alone),
                  transfer_bytes: loaded.reduce((sum, entry) => sum + entry.transferSize, 0),
                  files: loaded.map((entry) => [entry.name.split('/').pop(), entry.transferSize])});
        });''', presets)

    # A send of two presets while the page is hidden behind another tab.
    with open(os.path.join(examples, names[0]), 'rb') as file:
        kit = base64.b64encode(file.read()).decode()
    browser.execute_script('''
        const box = document.getElementById('send-to');
        box.value = '?';
        box.dispatchEvent(new Event('change'));''')
    time.sleep(0.5)
    browser.execute_script('''
        const box = document.getElementById('send-to');
        box.value = 'thump-a';
        box.dispatchEvent(new Event('change'));
        const bytes = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));
        const transfer = new DataTransfer();
        transfer.items.add(new File([bytes], 'a.fxp'));
        transfer.items.add(new File([bytes], 'b.fxp'));
        window.__started = performance.now();
        document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true}));''', kit)
    page_tab = browser.current_window_handle
    browser.switch_to.new_window('tab')
    browser.get('about:blank')
    time.sleep(19)  # the send's own length, some 17 s, with room
    browser.switch_to.window(page_tab)
    sent = browser.execute_script('return [window.__sent, window.__started, document.getElementById("status").textContent]')
    messages, started, status = sent
    gaps = [b['at'] - a['at'] - (1000 if b['type'] == 0x11 else 250) for a, b in zip(messages, messages[1:])]
    figures['hidden_send'] = {
        'messages': len(messages),
        'seconds': (messages[-1]['at'] - started) / 1000 if messages else None,
        'shortest_gap_error_ms': min(gaps) if gaps else None,
        'largest_gap_error_ms': max(gaps) if gaps else None,
        'sent': 'Sent 2 presets' in status,
    }
finally:
    browser.quit()
with open(output, 'w') as file:
    json.dump(figures, file)
print(json.dumps(figures))
