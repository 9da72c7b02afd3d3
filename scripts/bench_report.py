"""Measures the two programs as whole processes and prints one table together
with the in-process benchmarks (build/bench/conversion.json)."""
import json, os, shutil, statistics, subprocess, sys, tempfile, time

build = sys.argv[1]
runs = 30

def median_benchmark(name):
    with open(os.path.join(build, 'conversion.json')) as f:
        for b in json.load(f)['benchmarks']:
            if b['name'] == name + '_median':
                return b
    raise SystemExit(f'no {name} in the benchmark results')

def peak_rss_kib(command, env=None):
    out = subprocess.run(['/usr/bin/time', '-f', '%M'] + command, capture_output=True, env=env, check=True)
    return int(out.stderr.decode().strip().splitlines()[-1])

def median_wall(command, env=None):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env, check=True)
        times.append(time.perf_counter() - start)
    return statistics.median(times)

def median_until_shown(command, env):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        line = process.stdout.readline()
        times.append(time.perf_counter() - start)
        process.wait()
        if line.strip() != b'shown':
            raise SystemExit('the dialog did not show')
    return statistics.median(times)

rows = []
mapping = median_benchmark('BM_MapOnePreset')
rows.append(('mapping of one preset (AppendPresetMessages)', f"{mapping['real_time'] / 1000:.2f} us",
             f"{mapping['items_per_second']:,.0f} presets/s", f"allocations: {mapping.get('allocations', 0):.0f}"))
for n in (1, 10, 50):
    convert = median_benchmark(f'BM_Convert/{n}')
    floor = median_benchmark(f'BM_Floor/{n}')
    rows.append((f'ConvertFilesToMidi, {n} presets', f"{convert['real_time']:.1f} us",
                 f"floor {floor['real_time']:.1f} us",
                 f"ratio {convert['real_time'] / floor['real_time']:.2f}; allocations {convert.get('allocations', 0):.0f}"))

synced = median_benchmark('BM_Floor/50')['real_time']
unsynced = median_benchmark('BM_FloorWithoutSync/50')['real_time']
rows.append(('fsync of the file and its folder, 50 presets', f'{synced - unsynced:.1f} us',
             f'floor without it {unsynced:.1f} us', ''))

work = tempfile.mkdtemp(prefix='t2tk-bench-')
try:
    presets = []
    examples = sorted(os.path.join('examples/presets', f) for f in os.listdir('examples/presets'))
    for i in range(50):
        path = os.path.join(work, f'kit{i:02d}.fxp')
        shutil.copyfile(examples[i % len(examples)], path)
        presets.append(path)
    output = os.path.join(work, 'out.mid')
    convert = [os.path.join(build, 't2tk-convert'), '-o', output] + presets
    copy = ['sh', '-c', 'cat "$@" > "$0"', os.path.join(work, 'copy.bin')] + presets
    convert_wall, copy_wall = median_wall(convert), median_wall(copy)
    rows.append(('t2tk-convert, 50 presets (process)', f'{convert_wall * 1000:.2f} ms', f'cat {copy_wall * 1000:.2f} ms',
                 f'ratio {convert_wall / copy_wall:.2f}'))
    rows.append(('peak resident memory, 50 presets', f'{peak_rss_kib(convert) / 1024:.1f} MiB',
                 f'cat {peak_rss_kib(copy[:1] + copy[1:]) / 1024:.1f} MiB', ''))
    listed = median_wall([os.path.join(build, 't2tk-convert'), '--list'] + presets)
    listed_saved = median_wall([os.path.join(build, 't2tk-convert'), '--list', output])
    rows.append(('t2tk-convert --list, 50 presets (process)', f'{listed * 1000:.2f} ms',
                 f'their saved file: {listed_saved * 1000:.2f} ms', ''))

    dialog = os.path.join(build, 'bench', 'dialog_startup')
    if os.path.exists(dialog):
        env = dict(os.environ, QT_QPA_PLATFORM='offscreen', XDG_CONFIG_HOME=work)
        shown = median_until_shown([dialog], env)
        rows.append(('dialog: process start to shown (offscreen)', f'{shown * 1000:.1f} ms',
                     f'{peak_rss_kib([dialog], env) / 1024:.1f} MiB peak', ''))
finally:
    shutil.rmtree(work)

with open(os.path.join(build, 'send.json')) as f:
    sends = {b['name'].split('/')[0]: b for b in json.load(f)['benchmarks']}
for name, load in (('BM_SendIdle', 'idle'), ('BM_SendLoaded', 'every core busy')):
    send = sends[name]
    rows.append((f'send over JACK, {load}: gap at the receiver less spacing',
                 f"median {send['median_ms']:+.2f} ms",
                 f"shortest {send['shortest_ms']:+.2f} ms, latest {send['latest_ms']:+.2f} ms",
                 f"{send['short_1ms']:.0f} of {send['gaps']:.0f} over 1 ms short "
                 f"({send['short_period']:.0f} over a {send['period_ms']:.2f} ms period); "
                 f"sender CPU {send['cpu_percent']:.2f}%; {send['lost']:.0f} lost"))

web_figures = os.path.join(build, 'web.json')
if os.path.exists(web_figures):
    with open(web_figures) as f:
        web = json.load(f)
    rows.append(('web page: 50 presets, files read to download made', f"{web['road_ms']:.1f} ms",
                 f"conversion alone {web['convert_ms']:.1f} ms", 'headless Chromium'))
    rows.append(('web page: transfer (HTML, CSS, JS, WASM, icon)', f"{web['transfer_bytes'] / 1024:.0f} KiB",
                 ', '.join(f'{name} {size / 1024:.0f}' for name, size in web['files']), ''))
    hidden = web['hidden_send']
    if hidden['messages']:
        rows.append((f"web page: send of {hidden['presets']} presets, hidden behind another tab throughout",
                     f"{hidden['seconds']:.1f} s",
                     f"gap less spacing {hidden['shortest_gap_error_ms']:+.1f} to {hidden['largest_gap_error_ms']:+.1f} ms",
                     f"handed over at most {hidden['largest_lead_ms']:.0f} ms ahead, woken at most "
                     f"{hidden['latest_wake_ms']:.0f} ms late; {'stored' if hidden['sent'] else 'NOT stored'}"))
    cancel = web['cancel_after_hidden']
    rows.append(('web page: Cancel after 20 s hidden', f"{cancel['messages_after']} messages after the click",
                 f"{cancel['messages_before']} before", cancel['said']))

widths = [max(len(r[i]) for r in rows) for i in range(4)]
print(f'medians of {runs} process runs and 15 benchmark repetitions')
for r in rows:
    print('  '.join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
