"""The web page in a real browser: Debian's Chromium, headless, driven by
Selenium, against the page served from its build folder. Web MIDI is a double
of the tests' own, put in place before the page loads (headless Chromium has
no MIDI system); so is time, where a send is checked, so that a send of nine
seconds takes none.

Usage: page_test.py BUILD-FOLDER CORPUS-FOLDER"""
import base64
import os
import sys
import tempfile
import time
import unittest

from selenium.webdriver.common.by import By

from browser import chromium, serve

BUILD, CORPUS = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
del sys.argv[1:3]

# Web MIDI stand-ins: a port that records what it is sent, when, and at what
# time it was to go; none at all; and a refusal.
MIDI_DOUBLES = {
    'recording': '''
        window.__sent = [];
        const output = {id: 'thump-a', name: 'Thump A', state: 'connected',
                        send(data, at) { window.__sent.push({bytes: Array.from(data), at, now: performance.now()}); }};
        const access = new EventTarget();
        access.outputs = new Map([[output.id, output]]);
        access.inputs = new Map();
        window.__unplug = () => {
            output.state = 'disconnected';
            const event = new Event('statechange');
            event.port = output;
            access.dispatchEvent(event);
        };
        navigator.requestMIDIAccess = () => Promise.resolve(access);''',
    'absent': 'delete Navigator.prototype.requestMIDIAccess;',
    'refused': '''navigator.requestMIDIAccess = () =>
        Promise.reject(new DOMException('Permission denied', 'SecurityError'));''',
}

# Time that passes only when the test says so: performance.now() and
# setTimeout answer to __advance(ms), which runs what falls due in order.
VIRTUAL_TIME = '''
    (() => {
        const realTimeout = window.setTimeout.bind(window);
        let now = 1000;
        let next = 1;
        const timers = new Map();
        performance.now = () => now;
        window.setTimeout = (run, ms = 0) => { timers.set(next, {at: now + Math.max(0, ms), run}); return next++; };
        window.clearTimeout = (id) => timers.delete(id);
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

# Counts what could make the page run while it waits for the user.
COUNTED_TIMERS = '''
    (() => {
        window.__timers = 0;
        for (const name of ['setTimeout', 'setInterval', 'requestAnimationFrame']) {
            const real = window[name].bind(window);
            window[name] = (...args) => { ++window.__timers; return real(...args); };
        }
    })();'''


def corpus(name):
    with open(os.path.join(CORPUS, name), 'rb') as file:
        return file.read()


class PageTest(unittest.TestCase):
    scripts = []  # what runs before each page, as the page's test chose

    @classmethod
    def setUpClass(cls):
        cls.url = serve(BUILD)
        cls.downloads = tempfile.mkdtemp(prefix='t2tk-downloads-')
        cls.browser = chromium(cls.downloads)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()

    def open(self, midi='recording', virtual_time=False, keep_settings=False):
        # The doubles of the page before go with it: each page chooses its own.
        for identifier in PageTest.scripts:
            self.browser.execute_cdp_cmd('Page.removeScriptToEvaluateOnNewDocument', {'identifier': identifier})
        PageTest.scripts = [
            self.browser.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': script})['identifier']
            for script in [MIDI_DOUBLES[midi], COUNTED_TIMERS] + ([VIRTUAL_TIME] if virtual_time else [])]
        self.browser.get(self.url)
        if not keep_settings:
            self.browser.execute_script('localStorage.clear()')
            self.browser.get(self.url)
        self.wait(lambda: self.browser.execute_script('return document.readyState') == 'complete'
                  and self.text('program') != '')
        for file in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, file))

    def wait(self, done, seconds=10):
        end = time.monotonic() + seconds
        while not done():
            if time.monotonic() > end:
                self.fail('waited in vain')
            time.sleep(0.02)

    def text(self, element_id):
        element = self.browser.find_element(By.ID, element_id)
        value = element.get_attribute('value')
        return value if value is not None and element.tag_name in ('input', 'select') else element.text

    def set_field(self, element_id, value):
        self.browser.execute_script('''
            const field = document.getElementById(arguments[0]);
            field.value = arguments[1];
            field.dispatchEvent(new Event('input'));''', element_id, value)

    def drop(self, files):
        """Files dropped onto the page, as the browser hands them over."""
        self.browser.execute_script('''
            const transfer = new DataTransfer();
            for (const [name, data] of arguments[0]) {
                const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
                transfer.items.add(new File([bytes], name));
            }
            document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true}));''',
            [[name, base64.b64encode(data).decode()] for name, data in files])

    def choose(self, paths):
        """Files chosen with the file picker."""
        field = self.browser.find_element(By.ID, 'files')
        self.browser.execute_script('arguments[0].hidden = false', field)
        field.send_keys('\n'.join(paths))

    def downloaded(self):
        self.wait(lambda: os.listdir(self.downloads) and
                  not any(name.endswith('.crdownload') for name in os.listdir(self.downloads)))
        (name,) = os.listdir(self.downloads)
        with open(os.path.join(self.downloads, name), 'rb') as file:
            data = file.read()
        os.remove(os.path.join(self.downloads, name))
        return name, data

    def choose_port(self):
        self.browser.execute_script('''
            const box = document.getElementById('send-to');
            box.value = '?';
            box.dispatchEvent(new Event('change'));''')
        self.wait(lambda: self.browser.execute_script(
            "return document.getElementById('send-to').options.length") > 2 or self.text('midi-note'))
        self.browser.execute_script('''
            const box = document.getElementById('send-to');
            box.value = 'thump-a';
            box.dispatchEvent(new Event('change'));''')

    # The bytes t2tk-convert writes (the corpus holds them), under the names it
    # gives, whether the presets were chosen or dropped.
    def test_downloads_are_what_t2tk_convert_writes(self):
        cases = [
            # presets, program, compatibility, format, expected file, expected name, how
            (['in-range.fxp'], '1', False, 'mid', 'in-range.mid', 'in-range.mid', 'choose'),
            (['in-range.fxp'], '18', True, 'mid', 'in-range-compatible.mid', 'in-range.mid', 'drop'),
            (['hostile.fxp', 'hostile-switches.fxp'], '4', True, 'mid', 'hostile.mid', 'Thumpkrate.mid', 'choose'),
            (['edges.fxp'], '50', False, 'mid', 'edges.mid', 'edges.mid', 'drop'),
            (['in-range.fxp'], '1', False, 'syx', 'in-range.syx', 'in-range.syx', 'drop'),
        ]
        self.open()
        for presets, program, compatibility, format, expected, name, how in cases:
            with self.subTest(expected=expected, how=how):
                self.set_field('program', program)
                self.browser.execute_script('''
                    const box = document.getElementById('compatibility');
                    box.checked = arguments[0];
                    box.dispatchEvent(new Event('change'));
                    document.querySelector(`[name=format][value=${arguments[1]}]`).click();''', compatibility, format)
                if how == 'choose':
                    self.choose([os.path.join(CORPUS, preset) for preset in presets])
                else:
                    self.drop([(preset, corpus(preset)) for preset in presets])
                self.assertEqual(self.downloaded(), (name, corpus(expected)))
        self.assertIn('Wrote in-range.syx: 1 preset, program 1.', self.text('status'))

    # The program field keeps the dialog's rules, and the settings stay.
    def test_program_field_and_settings(self):
        self.open()
        for typed, shown, slider in [('75', '50', '4900'), ('0', '1', '0'), ('012', '012', '1100'),
                                     ('', '', '1100'), ('7', '7', '600')]:
            with self.subTest(typed=typed):
                self.set_field('program', typed)
                self.assertEqual((self.text('program'), self.text('slider')), (shown, slider))
        self.set_field('slider', '4800')  # the slider stops at each program's first position
        self.assertEqual(self.text('program'), '49')
        self.set_field('program', '012')
        self.browser.execute_script("document.getElementById('program').dispatchEvent(new Event('blur'))")
        self.assertEqual(self.text('program'), '12')
        self.browser.find_element(By.CSS_SELECTOR, '[name=format][value=syx]').click()
        self.open(keep_settings=True)
        self.assertEqual(self.text('program'), '12')
        self.assertTrue(self.browser.find_element(By.CSS_SELECTOR, '[name=format][value=syx]').is_selected())

    # What is no preset converts with the warning t2tk-convert gives; of more
    # than 50 files, the first 50 are converted, and the page says so.
    def test_files_that_are_no_presets_and_too_many(self):
        self.open()
        self.drop([('notes.txt', b'not a preset'), ('empty.fxp', b'')])
        name, data = self.downloaded()
        self.assertEqual((name, len(data)), ('Thumpkrate.mid', 73 + 3059 * 2))
        presets = self.text('presets')
        self.assertIn('warning: "notes.txt" is not a complete Tolvin preset (12 of 8600 bytes, 0 of 2136 parameters); '
                      'converted as it is', presets)
        self.assertIn('warning: "empty.fxp" is not a complete Tolvin preset (0 of 8600 bytes, 0 of 2136 parameters)',
                      presets)
        kit = corpus('in-range.fxp')
        self.drop([(f'kit{i}.fxp', kit) for i in range(51)])
        name, data = self.downloaded()
        self.assertEqual((name, len(data)), ('Thumpkrate.mid', 73 + 3059 * 50))
        self.assertIn('1 file past the 50th left out', self.text('status'))
        # Nothing runs while the page waits.
        self.browser.execute_script('window.__timers = 0')
        time.sleep(1)
        self.assertEqual(self.browser.execute_script('return window.__timers'), 0)

    # A send through Web MIDI: every message, each at its time on the module's
    # schedule; Cancel between two messages; a port unplugged mid-send.
    def test_sending(self):
        self.open(virtual_time=True)
        self.choose_port()
        self.drop([('in-range.fxp', corpus('in-range.fxp'))])
        self.downloaded()
        self.browser.execute_async_script('window.__advance(20000).then(arguments[0])')
        sent = self.browser.execute_script('return window.__sent')
        self.assertEqual(b''.join(bytes(message['bytes']) for message in sent), corpus('in-range.syx'))
        previous = 1000
        for message in sent:
            spacing = 1000 if message['bytes'][4] == 0x11 else 250
            self.assertEqual(message['at'] - previous, spacing)
            previous = message['at']
        self.assertIn('Sent 1 preset to Thump A.', self.text('status'))

        for stop, said in [('cancel', 'Sending stopped: 0 of 1 preset was stored completely.'),
                           ('unplug', 'Sending failed, the MIDI port "Thump A" is gone: '
                                      '0 of 1 preset was stored completely.')]:
            with self.subTest(stop=stop):
                self.browser.execute_script('window.__sent = []')
                self.drop([('in-range.fxp', corpus('in-range.fxp'))])
                self.downloaded()
                self.browser.execute_async_script('window.__advance(2000).then(arguments[0])')
                self.assertFalse(self.browser.find_element(By.ID, 'progress').get_attribute('hidden'))
                self.assertIn('Sending In Range to program 1 (1 of 1)', self.text('sending'))
                if stop == 'cancel':
                    self.browser.find_element(By.ID, 'cancel').click()
                else:
                    self.browser.execute_script('window.__unplug()')
                self.browser.execute_async_script('window.__advance(20000).then(arguments[0])')
                sent = self.browser.execute_script('return window.__sent')
                self.assertEqual(len(sent), 5)  # 0.25 + 1 + 3 x 0.25 s: whole messages, up to the stop
                self.assertIn(said, self.text('status'))

    # Where Web MIDI is missing or refused, "Send to:" says why in one line,
    # and the page still converts.
    def test_no_web_midi(self):
        for midi, said in [('absent', 'This browser has no Web MIDI: this page converts here, but cannot send.'),
                           ('refused', 'Sending was not allowed (SecurityError): allow MIDI devices for this site, '
                                       'then choose the port again.')]:
            with self.subTest(midi=midi):
                self.open(midi)
                self.choose_port()
                self.assertEqual(self.text('midi-note'), said)
                self.drop([('in-range.fxp', corpus('in-range.fxp'))])
                self.assertEqual(self.downloaded(), ('in-range.mid', corpus('in-range.mid')))


if __name__ == '__main__':
    unittest.main(verbosity=2)
