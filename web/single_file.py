"""Makes the page one file that works opened straight from a disk: the
stylesheet, the icon, the core (its WebAssembly inside) and the page's
script all inside the HTML. Chromium takes a file:// page for a secure
context, where it offers Web MIDI.
Usage: single_file.py WEB-FOLDER CORE-SCRIPT ICON OUTPUT"""
import base64
import sys

web, core, icon, output = sys.argv[1:5]


def read(path):
    with open(path, encoding='utf-8') as file:
        return file.read()


def inline_script(text):
    # Nothing in a script may end the element it stands in.
    return text.replace('</script', '<\\/script')


page = read(f'{web}/index.html')
with open(icon, 'rb') as file:
    icon_data = base64.b64encode(file.read()).decode()
replacements = {
    '<link rel="icon" href="t2tk.svg" type="image/svg+xml">':
        f'<link rel="icon" href="data:image/svg+xml;base64,{icon_data}">',
    '<link rel="stylesheet" href="t2tk.css">': f'<style>\n{read(f"{web}/t2tk.css")}</style>',
    # The scripts come after what the page shows, and run once it is shown:
    # the core's some 200 KB need not be read before the first paint.
    '<script type="module" src="t2tk.js"></script>\n': '',
    '</body>':
        f'<script type="module">\n{inline_script(read(core))}\nglobalThis.createCore = createCore;\n</script>\n'
        f'<script type="module">\n{inline_script(read(f"{web}/t2tk.js"))}</script>\n</body>',
}
for old, new in replacements.items():
    if old not in page:
        sys.exit(f'single_file.py: index.html no longer holds {old}')
    page = page.replace(old, new)
with open(output, 'w', encoding='utf-8') as file:
    file.write(page)
