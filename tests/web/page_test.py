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

from browser import MIDI_DOUBLES, VIRTUAL_TIME, chromium, serve

PAGE, SINGLE, CORPUS = (os.path.abspath(path) for path in sys.argv[1:4])
del sys.argv[1:4]

# Counts what could make the page run while it waits for the user.
COUNTED_TIMERS = '''
    window.__timers = 0;
    for (const name of ['setTimeout', 'setInterval', 'requestAnimationFrame']) {
        const real = window[name].bind(window);
        window[name] = (...args) => { ++window.__timers; return real(...args); };
    }'''


PHONE, DESKTOP = (375, 812), (1280, 800)  # screens; the tests' own is a phone's


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
        cls.screen(PHONE)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()

    @classmethod
    def screen(cls, size):
        width, height = size
        cls.browser.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                                    {'width': width, 'height': height, 'deviceScaleFactor': 0, 'mobile': False})

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
        self.js('localStorage.clear(); if (arguments[0] !== null) localStorage.t2tk = arguments[0]', settings)
        self.browser.get(url or self.url)
        self.wait(lambda: self.js('return document.readyState') == 'complete' and self.text('program') != '')
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

    def set_field(self, element_id, value, keys=''):
        """The field set to value, then keys typed into it one by one."""
        self.js('''
            const field = document.getElementById(arguments[0]);
            field.value = arguments[1];
            field.dispatchEvent(new Event(field.tagName === 'SELECT' ? 'change' : 'input'));''', element_id, value)
        if keys:
            self.browser.find_element(By.ID, element_id).send_keys(keys)

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
            os.remove(file.name)
            return name, file.read()

    def choose_port(self):
        self.set_field('send-to', '?')
        self.wait(lambda: self.js("return window['send-to'].options.length") > 2 or self.text('midi-note'))
        self.set_field('send-to', 'thump-a')

    def sent(self):
        return self.js('return window.__sent')

    def sent_bytes(self):
        return b''.join(bytes(message['bytes']) for message in self.sent())

    def send(self, presets=1, times=1):
        """Presets dropped with the port chosen: their download, and the send
        begun, its progress and Cancel in view. The page's time goes on from there."""
        self.drop([('in-range.fxp', corpus('in-range.fxp'))] * presets, times)
        download = self.downloaded()
        self.wait(lambda: not self.browser.find_element(By.ID, 'progress').get_attribute('hidden'))
        self.assertTrue(self.js('''const box = document.getElementById('progress').getBoundingClientRect();
                                   return box.top >= 0 && Math.round(box.bottom) <= innerHeight'''))
        return download

    # The bytes t2tk-convert writes (the corpus holds them), under the names it
    # gives, whether the presets were chosen or dropped; and again, with the
    # settings changed, without a new drop.
    def test_downloads_are_what_t2tk_convert_writes(self):
        cases = [
            # presets, program, compatibility, format, expected file, expected name, how
            (['in-range.fxp'], '1', False, 'mid', 'in-range.mid', 'in-range.mid', 'choose'),
            (['in-range.fxp'], '18', True, 'mid', 'in-range-compatible.mid', 'in-range.mid', 'drop'),
            (['hostile.fxp', 'hostile-switches.fxp'], '04', True, 'mid', 'hostile.mid', 'Thumpkrate.mid', 'choose'),
            (['edges.fxp'], '50', False, 'mid', 'edges.mid', 'edges.mid', 'drop'),
            (['in-range.fxp'], '1', False, 'syx', 'in-range.syx', 'in-range.syx', 'drop'),
            (['in-range.fxp'], '18', True, 'mid', 'in-range-compatible.mid', 'in-range.mid', 'again'),
        ]
        self.open()
        for presets, program, compatibility, format, expected, name, how in cases:
            with self.subTest(expected=expected, how=how):
                self.set_field('program', '', program)
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
                self.assertEqual(self.text('program'), program.lstrip('0'))
        self.assertEqual(self.text('status'), 'in-range.mid offered for download: 1 preset, program 18.')
        # "Send again" waits for a port to send to.
        enabled = [self.js("return !document.getElementById('send-again').disabled")]
        self.choose_port()
        self.assertEqual(enabled + [self.js("return !document.getElementById('send-again').disabled")], [False, True])

    # The program field keeps the dialog's rules, typed key by key (| is the
    # caret), Enter only applies it, and the settings stay; stored settings that
    # are not ours are each taken for their default, a stored port's name is
    # shown as a file's is, and never as one of the list's own entries. On a
    # phone, the page speaks of choosing, in its first screen.
    def test_program_field_and_settings(self):
        self.open()
        caret = ('const p = program; return [document.activeElement === p ? '
                 "p.value.slice(0, p.selectionStart) + '|' + p.value.slice(p.selectionStart) : p.value, slider.value]")
        for keys, shown, slider in [('7', '7|', '600'), ('0', '0|', '600'), ('00', '00|', '600'), ('05', '05|', '400'),
                                    ('010', '010|', '900'), ('15' + Keys.LEFT + Keys.BACKSPACE, '|5', '400'),
                                    ('51', '50|', '4900'), ('10' + Keys.LEFT * 2 + '6', '5|0', '4900'),
                                    ('abc', '|', '4900'), ('0' + Keys.TAB, '50', '4900')]:
            with self.subTest(keys=keys):
                self.set_field('program', '', keys)
                self.assertEqual(self.js(caret), [shown, slider])
        self.assertEqual(self.browser.find_element(By.ID, 'slider').get_attribute('aria-valuetext'), 'Program 50')
        self.set_field('slider', '4800')  # the slider stops at each program's first position
        self.assertEqual(self.text('program'), '49')
        self.js('window.__alive = true')
        self.set_field('program', '', '012' + Keys.ENTER)
        self.assertEqual((self.js('return window.__alive'), self.text('program')), (True, '12'))  # no reload
        self.browser.find_element(By.CSS_SELECTOR, '[name=format][value=syx]').click()
        self.open(settings=self.js('return localStorage.t2tk'))
        self.assertEqual(self.text('program'), '12')
        self.assertTrue(self.browser.find_element(By.CSS_SELECTOR, '[name=format][value=syx]').is_selected())
        for stored, port in [('{garbage', ''), ('[]', ''), ('{"compatibility":"no","program":"7","format":3}', ''),
                             ('{"sendPort": "a\u202eb"}', 'a_b'),
                             ('{"sendPort": "A MIDI port\u2026"}', 'A MIDI port\u2026 (a MIDI port)')]:
            with self.subTest(stored=stored):
                self.open(settings=stored)
                options = "[...document.getElementById('send-to').options].map((o) => o.text)"
                self.assertEqual(self.js(f'return [program.value, compatibility.checked, {options}]'),
                                 ['1', False, ['File only'] + [port] * bool(port) + ['A MIDI port\u2026']])
        self.browser.execute_cdp_cmd('Emulation.setTouchEmulationEnabled', {'enabled': True})  # a phone's
        self.open()
        phone = self.js("return [document.querySelector('.drop p').innerText, "
                        "document.getElementById('choose').getBoundingClientRect().bottom <= 812]")
        self.browser.execute_cdp_cmd('Emulation.setTouchEmulationEnabled', {'enabled': False})
        self.assertEqual(phone, ['Choose presets\u2026 (1 to 50)', True])

    # What is no preset converts with the warning t2tk-convert gives, what is no
    # file (a folder) is named and left out; of more than 50 files, the first 50
    # are converted, and the page says so; a warning a line. Names are shown as
    # their downloads are named: what would not read as it is made "_", too long
    # a name cut to whole characters that fit the disk, wrapped; one left with
    # nothing before its extension named as a conversion of several presets is.
    def test_files_that_are_no_presets_and_names(self):
        self.open()
        self.drop([('notes.txt', b'not a preset'), ('empty.fxp', b'')], folders=['kits'])
        name, data = self.downloaded()
        self.assertEqual((name, len(data)), ('Thumpkrate.mid', 73 + 3059 * 2))
        presets = self.text('presets')
        self.assertIn('warning: "notes.txt" (program 1) is no Tolvin preset: it does not begin as a preset of '
                      'parameters does; converted as it is', presets)
        self.assertIn('warning: "empty.fxp" (program 2) is no Tolvin preset: it does not begin as a preset of',
                      presets)
        self.assertIn('2 of 2 files are not complete Tolvin presets.', self.text('status'))
        self.assertEqual(self.text('notice'), 'Left out, since it is no file this page could read: kits.')
        self.drop([], folders=['kits'])
        self.assertEqual(self.text('status'), 'Nothing converted: no preset among what was dropped.')
        kit = corpus('in-range.fxp')
        self.drop([(f'kit{i}.fxp', kit if i else corpus('random-bits.fxp')) for i in range(51)])
        name, data = self.downloaded()
        self.assertEqual((name, len(data)), ('Thumpkrate.mid', 73 + 3059 * 50))
        self.assertIn('1 file past the 50th left out', self.text('status'))
        self.assertIn('warning: "kit0.fxp" (program 1): 840 parameters outside 0 to 1, in 24 voices and 2 effect '
                      'units; the module gets values within its range instead', self.text('presets').splitlines())
        for dropped, saved, shown in [
                ('\u30c9' * 94 + '.fxp', '\u30c9' * 80 + '.mid', '\u30c9' * 80 + '.mid'),  # 3 bytes each
                ('\u00fc' * 2000 + '.fxp', '\u00fc' * 120 + '.mid', '\u00fc' * 120 + '.mid'),  # 2 bytes each
                ('<img src=x>.fxp', '_img src=x_.mid', '_img src=x_.mid'),
                ('a\u202eb\u200b.fxp', 'a_b_.mid', 'a_b_.fxp'),
                ('c\u0085d\u009b.fxp', 'c_d_.mid', 'c_d_.fxp'),  # C1 controls
                ('e\u2028\u2029\u034f\ufe00\ufe0f\u3164\u115f\u1160\uffa0\u2800\u180e\u00ad\u206a\u206f\ufff9\ufffb'
                 '\U000e0001\U000e007f.fxp', 'e' + '_' * 18 + '.mid', 'e' + '_' * 18 + '.fxp'),  # none shows
                (' ..fxp', 'Thumpkrate.mid', 'Thumpkrate.mid'),  # nothing before the extension
                ('e' + '\u0301' * 300 + '.fxp', 'Thumpkrate.mid', 'Thumpkrate.mid')]:  # one character, too long
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

    # A send through Web MIDI, from the served page and from the page in one
    # file opened from the disk: every message handed to the browser once the
    # one before has gone and ahead of its own time, each at its time on the
    # module's schedule; "Sent" only once the module has stored the last; a
    # page that wakes late moves the rest later and never bunches them up.
    def test_sending_keeps_the_schedule(self):
        for url in [None, f'file://{SINGLE}']:
            with self.subTest(url=url):
                self.open(virtual_time=True, url=url)
                self.assertTrue(self.js('choose.focus(); return isSecureContext'))
                self.choose_port()
                self.assertEqual(self.send(), ('in-range.mid', corpus('in-range.mid')))
                self.assertTrue(self.js("return document.getElementById('program').disabled"))  # no change mid-send
                self.advance(8500)
                self.assertEqual(self.sent_bytes(), corpus('in-range.syx'))
                previous = 1000
                for message in self.sent():
                    self.assertEqual(message['at'] - previous, spacing(message))
                    self.assertTrue(previous <= message['now'] <= message['at'])
                    previous = message['at']
                self.assertEqual(self.text('outcome'), '')  # the module is still storing
                self.advance(1000)
                self.assertEqual(self.text('outcome'), 'Sent 1 preset to Thump A.')
                self.assertEqual(self.js('return [document.activeElement.id, program.disabled]'), ['choose', False])

        self.js('window.__sent = []')
        self.send()
        self.advance(2000)
        self.js('window.__stall(6000)')  # a page woken six seconds late
        self.advance(20000)
        self.assertEqual(self.sent_bytes(), corpus('in-range.syx'))
        gaps = [b['at'] - a['at'] - spacing(b) for a, b in zip(self.sent(), self.sent()[1:])]
        self.assertGreaterEqual(min(gaps), 0)
        self.assertGreater(max(gaps), 0)

    # A send ends between two messages, the page hidden for a while before or
    # not: Cancel, a port unplugged, a port that throws. At most the one message
    # handed to the browser goes after that; the account counts what was handed
    # over, as the list's states do. The page stays usable; a drop meanwhile is
    # refused without a word on the status, until the send ends; two drops at
    # once convert once; another tab sending to the port refuses this one.
    # Cancel stays in view, on a phone's screen and a computer's, as the lines
    # above it grow, unless the user scrolled away from it.
    def test_a_send_that_ends_early(self):
        states = "return [...document.querySelectorAll('#presets .state')].map((state) => state.dataset.state)"
        seen = '''const box = document.getElementById('cancel').getBoundingClientRect();
                  return [box.top >= 0 && Math.round(box.bottom) <= innerHeight, scrollY === 0]'''
        self.addCleanup(self.screen, PHONE)
        # how it ends, ms hidden, the screen, whether the user scrolled to the top, the account, presets stored
        for stop, hidden, screen, top, said, stored in [
                ('cancel', 5000, PHONE, False, 'Sending stopped: 0 of 2 presets were stored completely (not stored: '
                                               'programs 1 and 2). The message already handed to the browser still '
                                               'went out.', 0),
                ('unplug', 5000, DESKTOP, False, 'Sending failed: the MIDI port "Thump A" is gone. 0 of 2 presets '
                                                 'were stored completely (not stored: programs 1 and 2). Connect it '
                                                 'again, then Send again.', 0),
                ('throw', 8400, PHONE, True, 'Sending failed: the MIDI port "Thump A" took no more messages. 1 of 2 '
                                             'presets were stored completely (not stored: program 2), if what was '
                                             'handed to the browser before went out. Check that the module is '
                                             'connected, then Send again.', 1)]:
            with self.subTest(stop=stop):
                self.screen(screen)
                self.open(virtual_time=True)
                self.choose_port()
                self.js('window.__throwAt = 31')  # past the first store request
                self.send(2)
                if top:
                    self.js('scrollTo(0, 0)')  # the user scrolls up
                self.js("Object.defineProperty(document, 'hidden', {value: true, configurable: true}); "
                        "document.dispatchEvent(new Event('visibilitychange'))")  # behind another tab a while
                self.advance(hidden)
                self.js("delete document.hidden; document.dispatchEvent(new Event('visibilitychange'))")
                self.assertIn('Sending In Range to program 1 (1 of 2)', self.text('sending'))
                status = self.text('status')
                self.drop([('edges.fxp', corpus('edges.fxp'))])
                self.assertEqual((self.text('notice'), self.text('status'), self.js(states)),
                                 ('A conversion is being sent: convert again once it is done, or cancel it.', status,
                                  ['sending', 'waiting']))
                self.assertEqual(self.js(seen), [not top, top])
                ended = self.js('return performance.now()')
                if stop == 'cancel':
                    self.browser.find_element(By.ID, 'cancel').click()
                elif stop == 'unplug':
                    self.js('window.__unplug()')
                self.advance(20000)
                self.assertTrue(corpus('in-range.syx').startswith(self.sent_bytes()))
                self.assertLessEqual(len([message for message in self.sent() if message['at'] > ended]), 1)
                self.assertEqual((self.text('outcome'), self.text('notice'), self.js(states)),
                                 (said, '', ['stored'] * stored + ['not stored'] * (2 - stored)))
                self.set_field('send-to', '')  # File only
                self.drop([('in-range.fxp', corpus('in-range.fxp'))])
                self.assertEqual(self.downloaded(), ('in-range.mid', corpus('in-range.mid')))

        self.screen(PHONE)
        self.open(virtual_time=True)
        self.choose_port()
        self.js('window.__throwAt = 0')  # a port that takes not even the first message
        self.drop([('in-range.fxp', corpus('in-range.fxp'))])
        self.downloaded()
        self.wait(lambda: self.text('outcome'))
        self.assertEqual(self.text('outcome'), 'Sending failed: the MIDI port "Thump A" took no messages. 0 of 1 '
                                               'preset was stored completely (not stored: program 1). Check that the '
                                               'module is connected, then Send again.')
        self.js('window.__throwAt = -1')
        self.send(times=2)
        self.advance(20000)
        self.assertEqual(len(self.sent()), 31)
        self.assertEqual(self.text('notice'), 'These presets came while others were being converted, and were left '
                                              'alone: drop or choose them again.')

        first = self.browser.current_window_handle
        self.send()
        self.browser.switch_to.new_window('tab')
        try:
            self.open(virtual_time=True)
            self.choose_port()
            self.drop([('in-range.fxp', corpus('in-range.fxp'))])
            self.downloaded()
            self.wait(lambda: self.text('outcome') ==
                      'Nothing sent: another tab of this page is sending to Thump A; send again once it is done.')
            self.assertEqual(self.sent(), [])
        finally:
            self.browser.close()
            self.browser.switch_to.window(first)

    # What is not a complete preset is sent only when the user says so; MIDI
    # access is asked for only on the user's action, a stored port too.
    def test_asked_before_what_should_not_go(self):
        self.open(virtual_time=True, settings='{"sendPort": "Thump A"}')
        self.assertEqual(self.js("return [__asked, document.getElementById('send-to').selectedOptions[0].text]"),
                         [0, 'Thump A'])
        for files, answer, sent, question, said in [
                (2, 'dont-send', 0,
                 ('2 of 2 files are not complete Tolvin presets; send them anyway?', 'Send them anyway'),
                 'Nothing sent: 2 of 2 files are not complete Tolvin presets.'),
                (1, 'send-anyway', 31,
                 ('1 of 1 file is not a complete Tolvin preset; send it anyway?', 'Send it anyway'),
                 'Sent 1 preset to Thump A.')]:
            with self.subTest(answer=answer):
                self.js('window.__sent = []')
                self.drop([('notes.txt', b'not a preset')] * files)
                self.downloaded()
                self.wait(lambda: not self.browser.find_element(By.ID, 'question').get_attribute('hidden'))
                self.assertEqual((self.text('question-text'), self.text('send-anyway')), question)
                self.browser.find_element(By.ID, answer).click()
                self.wait(lambda: self.text('outcome') or self.js('return !progress.hidden'))
                self.advance(20000)
                self.assertEqual((len(self.sent()), self.text('outcome')), (sent, said))
        self.assertEqual(self.js('return window.__asked'), 1)

    # Where Web MIDI is missing or refused, "Send to:" says why in one line,
    # and the page still converts.
    def test_no_web_midi(self):
        for midi, said in [('absent', 'This browser has no Web MIDI: this page converts here, but cannot send.'),
                           ('refused', 'Sending was not allowed: allow MIDI devices for this site in the '
                                       'browser\u2019s site settings, then choose the port again.')]:
            with self.subTest(midi=midi):
                self.open(midi)
                self.choose_port()
                self.assertEqual(self.text('midi-note'), said)
                self.drop([('in-range.fxp', corpus('in-range.fxp'))])
                self.assertEqual(self.downloaded(), ('in-range.mid', corpus('in-range.mid')))


if __name__ == '__main__':
    unittest.main(verbosity=2)
