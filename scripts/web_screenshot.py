"""Takes a screenshot of the web page in headless Chromium after the bundled
example presets were dropped on it: res/screenshots/web-page.png (or PNG).
Usage: scripts/web_screenshot.py BUILD-FOLDER EXAMPLES-FOLDER [PNG]"""
import base64
import functools
import http.server
import os
import sys
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

build, examples = sys.argv[1], sys.argv[2]
shot = os.path.abspath(sys.argv[3] if len(sys.argv) > 3 else 'res/screenshots/web-page.png')
class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Quiet, directory=build))
threading.Thread(target=server.serve_forever, daemon=True).start()

options = webdriver.ChromeOptions()
options.binary_location = '/usr/bin/chromium'
for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run', '--hide-scrollbars',
                 '--disable-background-networking', '--disable-component-update', '--disable-sync',
                 '--window-size=900,1000', f'--user-data-dir={tempfile.mkdtemp(prefix="t2tk-chromium-")}'):
    options.add_argument(argument)
options.add_experimental_option('prefs', {'download.default_directory': tempfile.mkdtemp()})
browser = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
try:
    browser.get(f'http://127.0.0.1:{server.server_address[1]}/index.html')
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
    height = browser.execute_script('return document.documentElement.scrollHeight')
    browser.set_window_size(900, height + 40)
    os.makedirs(os.path.dirname(shot), exist_ok=True)
    browser.save_screenshot(shot)
    print(shot)
finally:
    browser.quit()
    server.shutdown()
