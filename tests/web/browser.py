"""What the page's tests, its benchmark and its screenshot share: the page's
folder served quietly on a port of its own; Debian's Chromium, headless,
with none of its calls home (this machine's network is closed) and a hidden
tab's timers slowed as a user's browser slows them (chromedriver turns that
off); and the stand-ins put in place before a page loads."""
import functools
import http.server
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

# Web MIDI stand-ins: a port that records what it is sent, when, and at what
# time it was to go (and throws, as Chrome's does for a closed port, once
# __throwAt messages went); none at all; and a refusal. Each counts how often
# access was asked.
MIDI_DOUBLES = {
    'recording': '''
        window.__sent = [];
        window.__asked = 0;
        window.__throwAt = -1;
        const output = {id: 'thump-a', name: 'Thump A', state: 'connected',
                        send(data, at) {
                            if (window.__sent.length === window.__throwAt) {
                                throw new DOMException('The port is closed', 'InvalidStateError');
                            }
                            window.__sent.push({bytes: Array.from(data), at, now: performance.now()});
                        }};
        const access = new EventTarget();
        access.outputs = new Map([[output.id, output]]);
        window.__unplug = () => {
            output.state = 'disconnected';
            access.dispatchEvent(Object.assign(new Event('statechange'), {port: output}));
        };
        navigator.requestMIDIAccess = () => { ++window.__asked; return Promise.resolve(access); };''',
    'absent': 'delete Navigator.prototype.requestMIDIAccess;',
    'refused': '''navigator.requestMIDIAccess = () =>
        Promise.reject(new DOMException('Permission denied', 'SecurityError'));''',
}

# Time that passes only when the test says so: performance.now() and
# setTimeout answer to __advance(ms), which runs what falls due in order, and
# __stall(ms), which moves time on without running anything, as a page that
# wakes late sees it. Workers are made, but never wake the page.
VIRTUAL_TIME = '''
    (() => {
        const realTimeout = window.setTimeout.bind(window);
        let now = 1000;
        let next = 1;
        const timers = new Map();
        performance.now = () => now;
        window.setTimeout = (run, ms = 0) => { timers.set(next, {at: now + Math.max(0, ms), run}); return next++; };
        window.clearTimeout = (id) => timers.delete(id);
        window.Worker = class extends Worker { postMessage() {} };
        window.__stall = (ms) => { now += ms; };
        window.__advance = async (ms) => {
            const end = now + ms;
            for (;;) {
                await new Promise((done) => realTimeout(done, 0));  // what the last one set off
                const due = [...timers.entries()].sort((a, b) => a[1].at - b[1].at)[0];
                if (!due || due[1].at > end) break;
                timers.delete(due[0]);
                now = Math.max(now, due[1].at);
                due[1].run();
            }
            now = end;
        };
    })();'''


class _Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(folder):
    """Serves folder until the program ends; returns the page's address."""
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(_Quiet, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return f'http://127.0.0.1:{server.server_address[1]}/index.html'


def chromium(downloads=None, arguments=()):
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                     '--disable-background-networking', '--disable-component-update', '--disable-sync',
                     f'--user-data-dir={tempfile.mkdtemp(prefix="t2tk-chromium-")}', *arguments):
        options.add_argument(argument)
    options.add_experimental_option('excludeSwitches', ['disable-background-timer-throttling',
                                                        'disable-backgrounding-occluded-windows'])
    options.add_experimental_option('prefs', {'download.default_directory': downloads or tempfile.mkdtemp(),
                                              'download.prompt_for_download': False})
    browser = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    if downloads:
        browser.execute_cdp_cmd('Browser.setDownloadBehavior', {'behavior': 'allow', 'downloadPath': downloads})
    return browser
