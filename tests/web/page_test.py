"""The web page in a real browser: Debian's Chromium, headless, driven by
Selenium, against the page served from its folder and opened from its one
file. Web MIDI is a double of the tests' own, put in place before the page
loads (headless Chromium has no MIDI system); so is time, where a send is
checked, so that a send of nine seconds takes none.

Usage: page_test.py PAGE-FOLDER SINGLE-FILE CORPUS-FOLDER"""
import base64
import os
import sys
import tempfile
import time
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from browser import chromium, serve

PAGE, SINGLE, CORPUS = (os.path.abspath(path) for path in sys.argv[1:4])
del sys.argv[1:4]

# Web MIDI stand-ins: a port that records what it is sent, when, and at what
# time it was to go (and can be made to throw, as Chrome's does for a closed
# port); none at all; and a refusal. Each counts how often access was asked.
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
        access.inputs = new Map();
        window.__unplug = () => {
            output.state = 'disconnected';
            const event = new Event('statechange');
            event.port = output;
            access.dispatchEvent(event);
        };
        navigator.requestMIDIAccess = () => { ++window.__asked; return Promise.resolve(access); };''',
    'absent': 'delete Navigator.prototype.requestMIDIAccess;',
    'refused': '''navigator.requestMIDIAccess = () =>
        Promise.reject(new DOMException('Permission denied', 'SecurityError'));''',
}

# Time that passes only when the test says so: performance.now() and
# setTimeout answer to __advance(ms), which runs what falls due in order, and
# __stall(ms), which moves time on without running anything, as a page that
# wakes late sees it.
VIRTUAL_TIME = '''
    (() => {
        const realTimeout = window.setTimeout.bind(window);
        let now = 1000;
        let next = 1;
        const timers = new Map();
        performance.now = () => now;
        window.setTimeout = (run, ms = 0) => { timers.set(next, {at: now + Math.max(0, ms), run}); return next++; };
        window.clearTimeout = (id) => timers.delete(id);
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


def spacing(message):
    return 1000 if message['bytes'][4] == 0x11 else 250


class PageTest(unittest.TestCase):
    scripts = {}  # what runs before each page, per tab, as the page's test chose

    @classmethod
    def setUpClass(cls):
        cls.url = serve(PAGE)
        cls.downloads = tempfile.mkdtemp(prefix='t2tk-downloads-')
        cls.browser = chromium(cls.downloads)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()

    def open(self, midi='recording', virtual_time=False, settings=None, url=None):
        """Opens the page, its settings cleared (or set to what settings says)."""
        # The doubles of the page before go with it: each page chooses its own.
        tab = self.browser.current_window_handle
        for identifier in PageTest.scripts.get(tab, []):
            self.browser.execute_cdp_cmd('Page.removeScriptToEvaluateOnNewDocument', {'identifier': identifier})
        PageTest.scripts[tab] = [
            self.browser.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': script})['identifier']
            for script in [MIDI_DOUBLES[midi], COUNTED_TIMERS] + ([VIRTUAL_TIME] if virtual_time else [])]
        self.browser.get(url or self.url)
        self.browser.execute_script('localStorage.clear(); if (arguments[0] !== null) localStorage.t2tk = arguments[0]',
                                    settings)
        self.browser.get(url or self.url)
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

    def js(self, script, *args):
        return self.browser.execute_script(script, *args)

    def advance(self, ms):
        self.browser.execute_async_script(f'window.__advance({ms}).then(arguments[0])')

    def text(self, element_id):
        element = self.browser.find_element(By.ID, element_id)
        value = element.get_attribute('value')
        return value if value is not None and element.tag_name in ('input', 'select') else element.text

    def set_field(self, element_id, value):
        self.js('''
            const field = document.getElementById(arguments[0]);
            field.value = arguments[1];
            field.dispatchEvent(new Event('input'));''', element_id, value)

    def drop(self, files, times=1, folders=()):
        """Files dropped onto the page, as the browser hands them over (times
        drops in the same moment); folders are items that are no file."""
        self.js('''
            const files = arguments[0].map(([name, data]) =>
                new File([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))], name));
            const folders = arguments[2].map((name) =>
                ({name, arrayBuffer: () => Promise.reject(new DOMException('A folder', 'NotFoundError'))}));
            for (let i = 0; i < arguments[1]; ++i) {
                const event = new Event('drop', {bubbles: true, cancelable: true});
                Object.defineProperty(event, 'dataTransfer', {value: {files: [...files, ...folders], items: []}});
                document.body.dispatchEvent(event);
            }''', [[name, base64.b64encode(data).decode()] for name, data in files], times, list(folders))

    def choose(self, paths):
        """Files chosen with the file picker."""
        field = self.browser.find_element(By.ID, 'files')
        self.js('arguments[0].hidden = false', field)
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
        self.js('''
            const box = document.getElementById('send-to');
            box.value = '?';
            box.dispatchEvent(new Event('change'));''')
        self.wait(lambda: self.js("return document.getElementById('send-to').options.length") > 2
                  or self.text('midi-note'))
        self.js('''
            const box = document.getElementById('send-to');
            box.value = 'thump-a';
            box.dispatchEvent(new Event('change'));''')

    def sent(self):
        return self.js('return window.__sent')

    def sending(self):
        """Waits until a send has begun: the page's time goes on from there."""
        self.wait(lambda: not self.browser.find_element(By.ID, 'progress').get_attribute('hidden'))

    def send_one(self):
        """A preset dropped with the port chosen: its download, and the send begun."""
        self.drop([('in-range.fxp', corpus('in-range.fxp'))])
        self.downloaded()
        self.sending()

    # The bytes t2tk-convert writes (the corpus holds them), under the names it
    # gives, whether the presets were chosen or dropped; and again, with the
    # settings changed, without a new drop.
    def test_downloads_are_what_t2tk_convert_writes(self):
        cases = [
            # presets, program, compatibility, format, expected file, expected name, how
            (['in-range.fxp'], '1', False, 'mid', 'in-range.mid', 'in-range.mid', 'choose'),
            (['in-range.fxp'], '18', True, 'mid', 'in-range-compatible.mid', 'in-range.mid', 'drop'),
            (['hostile.fxp', 'hostile-switches.fxp'], '4', True, 'mid', 'hostile.mid', 'Thumpkrate.mid', 'choose'),
            (['edges.fxp'], '50', False, 'mid', 'edges.mid', 'edges.mid', 'drop'),
            (['in-range.fxp'], '1', False, 'syx', 'in-range.syx', 'in-range.syx', 'drop'),
            (['in-range.fxp'], '18', True, 'mid', 'in-range-compatible.mid', 'in-range.mid', 'again'),
        ]
        self.open()
        for presets, program, compatibility, format, expected, name, how in cases:
            with self.subTest(expected=expected, how=how):
                self.set_field('program', program)
                self.js('''
                    const box = document.getElementById('compatibility');
                    box.checked = arguments[0];
                    box.dispatchEvent(new Event('change'));
                    document.querySelector(`[name=format][value=${arguments[1]}]`).click();''', compatibility, format)
                if how == 'choose':
                    self.choose([os.path.join(CORPUS, preset) for preset in presets])
                elif how == 'drop':
                    self.drop([(preset, corpus(preset)) for preset in presets])
                else:
                    self.browser.find_element(By.ID, 'again').click()
                self.assertEqual(self.downloaded(), (name, corpus(expected)))
        self.assertIn('Wrote in-range.mid: 1 preset, program 18.', self.text('status'))
        self.assertIn("It is in the browser\u2019s downloads.", self.text('status'))
        # "Send again" waits for a port to send to.
        enabled = "return !document.getElementById('send-again').disabled"
        self.assertFalse(self.js(enabled))
        self.choose_port()
        self.assertTrue(self.js(enabled))

    # The program field keeps the dialog's rules, Enter only applies it, and
    # the settings stay; stored settings that are not ours are each taken
    # for their default.
    def test_program_field_and_settings(self):
        self.open()
        for typed, shown, slider in [('75', '50', '4900'), ('0', '1', '0'), ('012', '012', '1100'),
                                     ('', '', '1100'), ('7', '7', '600')]:
            with self.subTest(typed=typed):
                self.set_field('program', typed)
                self.assertEqual((self.text('program'), self.text('slider')), (shown, slider))
        self.assertEqual(self.browser.find_element(By.ID, 'slider').get_attribute('aria-valuetext'), 'Program 7')
        self.set_field('slider', '4800')  # the slider stops at each program's first position
        self.assertEqual(self.text('program'), '49')
        self.set_field('program', '012')
        self.js('window.__alive = true')
        self.browser.find_element(By.ID, 'program').send_keys(Keys.ENTER)
        self.assertEqual((self.js('return window.__alive'), self.text('program')), (True, '12'))  # no reload
        self.browser.find_element(By.CSS_SELECTOR, '[name=format][value=syx]').click()
        self.open(settings=self.js('return localStorage.t2tk'))
        self.assertEqual(self.text('program'), '12')
        self.assertTrue(self.browser.find_element(By.CSS_SELECTOR, '[name=format][value=syx]').is_selected())
        for stored in ['{garbage', 'null', '[]', '{"compatibility":"no","program":"7","format":3}']:
            with self.subTest(stored=stored):
                self.open(settings=stored)
                self.assertEqual(self.text('program'), '1')
                self.assertFalse(self.browser.find_element(By.ID, 'compatibility').is_selected())
                self.drop([('in-range.fxp', corpus('in-range.fxp'))])
                self.assertEqual(self.downloaded(), ('in-range.mid', corpus('in-range.mid')))

    # What is no preset converts with the warning t2tk-convert gives, what is
    # no file (a folder) is named and left out; of more than 50 files, the
    # first 50 are converted, and the page says so. Names are shown as they
    # were saved, escaped where they would not read as they are, and wrapped.
    def test_files_that_are_no_presets_and_names(self):
        self.open()
        self.drop([('notes.txt', b'not a preset'), ('empty.fxp', b'')], folders=['kits'])
        name, data = self.downloaded()
        self.assertEqual((name, len(data)), ('Thumpkrate.mid', 73 + 3059 * 2))
        presets = self.text('presets')
        self.assertIn('warning: "notes.txt" is not a complete Tolvin preset (12 of 8600 bytes, 0 of 2136 parameters); '
                      'converted as it is', presets)
        self.assertIn('warning: "empty.fxp" is not a complete Tolvin preset (0 of 8600 bytes, 0 of 2136 parameters)',
                      presets)
        self.assertIn('2 of 2 files are not complete Tolvin presets.', self.text('status'))
        self.assertEqual(self.text('notice'), 'Left out, since it is no file: kits.')
        self.drop([], folders=['kits'])
        self.assertEqual(self.text('status'), 'Nothing written: no preset among what was dropped.')
        kit = corpus('in-range.fxp')
        self.drop([(f'kit{i}.fxp', kit) for i in range(51)])
        name, data = self.downloaded()
        self.assertEqual((name, len(data)), ('Thumpkrate.mid', 73 + 3059 * 50))
        self.assertIn('1 file past the 50th left out', self.text('status'))
        self.browser.set_window_size(640, 800)
        for dropped, saved, shown in [
                ('k' * 300 + '.fxp', 'k' * 196 + '.mid', 'k' * 196 + '.mid'),
                ('<img src=x>.fxp', '_img src=x_.mid', '_img src=x_.mid'),
                ('a\u202eb.fxp', 'a_b.mid', 'a\\xE2\\x80\\xAEb.fxp'),
                ('w' * 4000 + '.fxp', 'w' * 196 + '.mid', 'w' * 196 + '.mid')]:
            with self.subTest(dropped=dropped[:20]):
                self.drop([(dropped, kit)])
                self.assertEqual(self.downloaded()[0], saved)
                self.assertIn(shown, self.text('status') + self.text('presets'))
                self.assertLessEqual(self.js('return document.documentElement.scrollWidth'),
                                     self.js('return document.documentElement.clientWidth'))
        # Nothing runs while the page waits.
        self.js('window.__timers = 0')
        time.sleep(1)
        self.assertEqual(self.js('return window.__timers'), 0)

    # A send through Web MIDI: every message handed to the browser ahead of
    # its time, each at its time on the module's schedule; "Sent" only once
    # the module has stored the last; a page that wakes late moves the rest
    # later and never bunches them up.
    def test_sending_keeps_the_schedule(self):
        self.open(virtual_time=True)
        self.choose_port()
        self.js("document.getElementById('choose').focus()")
        self.send_one()
        self.assertTrue(self.js("return document.getElementById('program').disabled"))  # no change mid-send
        self.advance(8500)
        sent = self.sent()
        self.assertEqual(b''.join(bytes(message['bytes']) for message in sent), corpus('in-range.syx'))
        previous = 1000
        for message in sent:
            self.assertEqual(message['at'] - previous, spacing(message))
            self.assertLessEqual(message['now'], message['at'])  # handed over before its time
            previous = message['at']
        self.assertNotIn('Sent', self.text('status'))  # the module is still storing
        self.advance(1000)
        self.assertIn('Sent 1 preset to Thump A.', self.text('status'))
        self.assertEqual(self.js('return document.activeElement.id'), 'choose')
        self.assertFalse(self.js("return document.getElementById('program').disabled"))

        self.js('window.__sent = []')
        self.send_one()
        self.advance(2000)
        self.js('window.__stall(6000)')  # a page woken six seconds late
        self.advance(20000)
        sent = self.sent()
        self.assertEqual(b''.join(bytes(message['bytes']) for message in sent), corpus('in-range.syx'))
        gaps = [b['at'] - a['at'] - spacing(b) for a, b in zip(sent, sent[1:])]
        self.assertGreaterEqual(min(gaps), 0)
        self.assertGreater(max(gaps), 0)

    # A send ends between two messages, with the account: Cancel (after what
    # was handed to the browser already), a port unplugged, a port that throws.
    # The page stays usable; a drop meanwhile is refused without a word on
    # the status; two drops at once send once; another page sending to the
    # port refuses this one.
    def test_a_send_that_ends_early(self):
        for stop, said in [('cancel', 'messages already handed to the browser still went out): '
                                      '0 of 1 preset was stored completely.'),
                           ('unplug', 'Sending failed, the MIDI port "Thump A" is gone: 0 of 1 preset was stored '
                                      'completely.'),
                           ('throw', 'Sending failed, the MIDI port "Thump A" failed (InvalidStateError): 0 of 1 preset '
                                     'was stored completely.')]:
            with self.subTest(stop=stop):
                self.open(virtual_time=True)
                self.choose_port()
                if stop == 'throw':
                    self.js('window.__throwAt = 20')
                self.send_one()
                self.advance(2000)
                self.assertIn('Sending In Range to program 1 (1 of 1)', self.text('sending'))
                status = self.text('status')
                self.drop([('edges.fxp', corpus('edges.fxp'))])
                self.assertEqual(self.text('notice'), 'A conversion is being sent; convert again once it is done.')
                self.assertEqual(self.text('status'), status)
                if stop == 'cancel':
                    self.browser.find_element(By.ID, 'cancel').click()
                elif stop == 'unplug':
                    self.js('window.__unplug()')
                self.advance(20000)
                sent = self.sent()
                self.assertEqual(b''.join(bytes(message['bytes']) for message in sent),
                                 corpus('in-range.syx')[:sum(len(message['bytes']) for message in sent)])
                self.assertIn(said, self.text('status'))
                self.js("document.getElementById('send-to').value = ''")  # File only
                self.drop([('in-range.fxp', corpus('in-range.fxp'))])
                self.assertEqual(self.downloaded(), ('in-range.mid', corpus('in-range.mid')))

        self.open(virtual_time=True)
        self.choose_port()
        self.drop([('in-range.fxp', corpus('in-range.fxp'))], times=2)
        self.sending()
        self.advance(20000)
        self.assertEqual(len(self.sent()), 31)
        self.assertEqual(self.text('notice'), 'A conversion is being sent; convert again once it is done.')

        first = self.browser.current_window_handle
        self.send_one()
        self.browser.switch_to.new_window('tab')
        try:
            self.open(virtual_time=True)
            self.choose_port()
            self.drop([('in-range.fxp', corpus('in-range.fxp'))])
            self.downloaded()
            self.wait(lambda: 'another page is sending to Thump A' in self.text('status'))
            self.assertEqual(self.sent(), [])
        finally:
            self.browser.close()
            self.browser.switch_to.window(first)

    # What is not a complete preset is sent only when the user says so; MIDI
    # access is asked for only on the user's action, a stored port too.
    def test_asked_before_what_should_not_go(self):
        self.open(virtual_time=True, settings='{"sendPort": "Thump A"}')
        self.assertEqual(self.js('return window.__asked'), 0)
        self.assertEqual(self.js("return document.getElementById('send-to').selectedOptions[0].text"), 'Thump A')
        for answer, sent in [('dont-send', 0), ('send-anyway', 31)]:
            with self.subTest(answer=answer):
                self.js('window.__sent = []')
                self.drop([('notes.txt', b'not a preset')])
                self.downloaded()
                self.wait(lambda: not self.browser.find_element(By.ID, 'question').get_attribute('hidden'))
                self.assertEqual(self.text('question-text'),
                                 '1 of 1 file is not a complete Tolvin preset; send it anyway?')
                self.browser.find_element(By.ID, answer).click()
                if sent:
                    self.sending()
                self.advance(20000)
                self.assertEqual(len(self.sent()), sent)
                self.assertEqual('Nothing sent: 1 of 1 file is not a complete Tolvin preset.' in self.text('status'),
                                 sent == 0)
        self.assertEqual(self.js('return window.__asked'), 1)

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

    # The page in one file, opened from the disk: it converts to the bytes
    # t2tk-convert writes, and sends.
    def test_the_page_in_one_file(self):
        self.open(virtual_time=True, url=f'file://{SINGLE}')
        self.assertTrue(self.js('return window.isSecureContext'))
        self.choose_port()
        self.drop([('in-range.fxp', corpus('in-range.fxp'))])
        self.assertEqual(self.downloaded(), ('in-range.mid', corpus('in-range.mid')))
        self.sending()
        self.advance(20000)
        self.assertEqual(b''.join(bytes(message['bytes']) for message in self.sent()), corpus('in-range.syx'))


if __name__ == '__main__':
    unittest.main(verbosity=2)
