"""The web page's speed and size in headless Chromium: the conversion of 50
presets in the page, from the files' contents in memory to the bytes to
download (median of 15), and what the page transfers (HTML, CSS, JavaScript,
WebAssembly, icon). Writes the figures as JSON.
Usage: web_bench.py BUILD-FOLDER EXAMPLES-FOLDER OUTPUT.json"""
import base64
import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'web'))
from browser import chromium, serve  # noqa: E402

build, examples, output = sys.argv[1:4]
browser = chromium()
try:
    browser.get(serve(build))
    presets = []
    names = sorted(os.listdir(examples))
    for i in range(50):
        with open(os.path.join(examples, names[i % len(names)]), 'rb') as file:
            presets.append([f'kit{i}.fxp', base64.b64encode(file.read()).decode()])
    figures = browser.execute_async_script('''
        const done = arguments[1];
        import('./t2tk.js').then(({convertPresets}) => {
            const presets = arguments[0].map(([name, data]) =>
                ({name, bytes: Uint8Array.from(atob(data), (c) => c.charCodeAt(0))}));
            const times = [];
            let size = 0;
            for (let run = 0; run < 15; ++run) {
                const start = performance.now();
                size = convertPresets(presets).bytes.length;
                times.push(performance.now() - start);
            }
            times.sort((a, b) => a - b);
            const loaded = [...performance.getEntriesByType('navigation'), ...performance.getEntriesByType('resource')];
            done({convert_ms: times[7], file_bytes: size,
                  transfer_bytes: loaded.reduce((sum, entry) => sum + entry.transferSize, 0),
                  files: loaded.map((entry) => [entry.name.split('/').pop(), entry.transferSize])});
        });''', presets)
finally:
    browser.quit()
with open(output, 'w') as file:
    json.dump(figures, file)
print(json.dumps(figures))
