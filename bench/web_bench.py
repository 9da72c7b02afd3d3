"""The web page's speed and size in headless Chromium: the whole road of 50
presets, from the files dropped to the bytes handed to the download (their
reading included), and the conversion alone (medians of 15, after five to
warm up); what the page transfers (HTML, CSS, JavaScript, WebAssembly,
icon); and, at their real pace, to the tests' Web MIDI double, whose
timestamps tell: a send of 50 presets in a tab hidden behind another for its
whole length (some seven minutes; Chromium slows a hidden tab's timers as it
does for users), how far ahead each message was handed over and how the
messages kept the schedule; and a Cancel after 20 s hidden, with how many
messages still went after the click. Writes the figures as JSON.
Usage: web_bench.py PAGE-FOLDER EXAMPLES-FOLDER OUTPUT.json"""
import base64
import json
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'web'))
from browser import MIDI_DOUBLES, chromium, serve  # noqa: E402

page, examples, output = sys.argv[1:4]
DROP = '''
    const transfer = new DataTransfer();
    for (const [name, data] of arguments[0]) {
        transfer.items.add(new File([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))], name));
    }
    window.__sent = [];
    document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true}));'''


def hidden_for(browser, seconds):
    """The page's tab behind another one for that long."""
    page_tab = browser.current_window_handle
    browser.switch_to.new_window('tab')
    browser.get('about:blank')
    time.sleep(seconds)
    browser.close()
    browser.switch_to.window(page_tab)


def outcome(browser):
    """What was sent, and what the page said of it, once the send has ended."""
    while not browser.execute_script('return document.getElementById("outcome").textContent'):
        time.sleep(0.1)
    return browser.execute_script('return [window.__sent, document.getElementById("outcome").textContent]')


browser = chromium()
try:
    browser.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': MIDI_DOUBLES['recording']})
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

    browser.execute_script('''
        const box = document.getElementById('send-to');
        box.value = '?';
        box.dispatchEvent(new Event('change'));''')
    time.sleep(0.5)
    browser.execute_script('''
        const box = document.getElementById('send-to');
        box.value = 'thump-a';
        box.dispatchEvent(new Event('change'));''')

    # 50 presets, hidden for the whole send: some 8.3 s a preset, and the account.
    browser.execute_script(DROP, presets)
    hidden_for(browser, 425)
    messages, status = outcome(browser)
    spacings = [1000 if message['bytes'][4] == 0x11 else 250 for message in messages]
    gaps = [b['at'] - a['at'] - spacing for a, b, spacing in zip(messages, messages[1:], spacings[1:])]
    figures['hidden_send'] = {
        'presets': 50,
        'messages': len(messages),
        'seconds': (messages[-1]['at'] - messages[0]['at'] + spacings[0]) / 1000 if messages else None,
        'shortest_gap_error_ms': min(gaps) if gaps else None,
        'largest_gap_error_ms': max(gaps) if gaps else None,
        # How far ahead of its time a message was handed over, and how late
        # after the one before had gone the page woke to hand it.
        'largest_lead_ms': max(message['at'] - message['now'] for message in messages),
        'latest_wake_ms': max(b['now'] - a['at'] for a, b in zip(messages, messages[1:])),
        'sent': 'Sent 50 presets' in status,
    }

    # Cancel after 20 s hidden, as a user back at the tab does it.
    browser.execute_script(DROP, presets[:10])
    hidden_for(browser, 20)
    clicked = browser.execute_script('''
        document.getElementById('cancel').click();
        return performance.now();''')
    messages, status = outcome(browser)
    figures['cancel_after_hidden'] = {
        'messages_before': len([message for message in messages if message['at'] <= clicked]),
        'messages_after': len([message for message in messages if message['at'] > clicked]),
        'said': status,
    }
finally:
    browser.quit()
with open(output, 'w') as file:
    json.dump(figures, file)
print(json.dumps(figures))
