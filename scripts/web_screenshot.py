"""Takes a screenshot of the web page in headless Chromium after the bundled
example presets were dropped on it: res/screenshots/web-page.png (or PNG).
Usage: scripts/web_screenshot.py PAGE-FOLDER EXAMPLES-FOLDER [PNG]   (PAGE-FOLDER: build/web/page)"""
import base64
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'web'))
from browser import chromium, serve  # noqa: E402

build, examples = sys.argv[1], sys.argv[2]
shot = os.path.abspath(sys.argv[3] if len(sys.argv) > 3 else 'res/screenshots/web-page.png')
browser = chromium(arguments=('--hide-scrollbars', '--window-size=900,1000'))
try:
    browser.get(serve(build))
    files = []
    for name in sorted(os.listdir(examples)):
        with open(os.path.join(examples, name), 'rb') as file:
            files.append([name, base64.b64encode(file.read()).decode()])
    browser.execute_script('''
        const transfer = new DataTransfer();
        for (const [name, data] of arguments[0]) {
            transfer.items.add(new File([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))], name));
        }
        document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true}));''', files)
    browser.implicitly_wait(5)
    browser.find_element('css selector', '#presets li')
    # The whole page, past the window's height too.
    height = browser.execute_script('return document.documentElement.scrollHeight')
    picture = browser.execute_cdp_cmd('Page.captureScreenshot', {
        'captureBeyondViewport': True,
        'clip': {'x': 0, 'y': 0, 'width': 900, 'height': height, 'scale': 1}})
    os.makedirs(os.path.dirname(shot), exist_ok=True)
    with open(shot, 'wb') as file:
        file.write(base64.b64decode(picture['data']))
    print(shot)
finally:
    browser.quit()
