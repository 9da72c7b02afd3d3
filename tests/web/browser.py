"""What the page's tests, its benchmark and its screenshot share: the page's
folder served quietly on a port of its own, and Debian's Chromium, headless,
with none of its calls home (this machine's network is closed)."""
import functools
import http.server
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


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
    options.add_experimental_option('prefs', {'download.default_directory': downloads or tempfile.mkdtemp(),
                                              'download.prompt_for_download': False})
    browser = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    if downloads:
        browser.execute_cdp_cmd('Browser.setDownloadBehavior', {'behavior': 'allow', 'downloadPath': downloads})
    return browser
