#!/usr/bin/env python3
"""Sorts what came out of a sink into processed sound, unprocessed sound and
silence, 40 ms at a time, for a steady probe tone whose level the processing
changes.

  sound_timeline.py RAW_RMS PROCESSED_RMS START END [FAULT] -- SEGMENT...

Each SEGMENT is START_SECONDS:FILE, a raw s16le stereo 44100 Hz recording
that began at that time (one clock for every time given). Time between START
and END that no recording covers counts as silence (no sound came out). With
FAULT, also prints the time from FAULT until processed sound had come back
for 0.3 s without a break. Prints one line of key=value pairs.
"""
import array
import sys

WINDOW = 1764  # frames: one block, 40 ms
SILENT = 0.02  # RMS (full scale 1.0) below which a window is silence
STEADY = 8     # windows of processed sound that count as its return


def windows(path):
    data = open(path, 'rb').read()
    samples = array.array('h')
    samples.frombytes(data[:len(data) // 4 * 4])
    left = samples[0::2]
    for i in range(0, len(left) - WINDOW + 1, WINDOW):
        part = left[i:i + WINDOW]
        yield (sum(v * v for v in part) / WINDOW) ** 0.5 / 32768.0


def main(argv):
    split = argv.index('--')
    raw, processed, start, end = (float(v) for v in argv[1:5])
    fault = float(argv[5]) if split > 5 else None
    slots = int(round((end - start) / 0.04))
    kinds = ['silent'] * slots
    for segment in argv[split + 1:]:
        begun, path = segment.split(':', 1)
        first = int(round((float(begun) - start) / 0.04))
        for n, rms in enumerate(windows(path)):
            slot = first + n
            if slot < 0 or slot >= slots:
                continue
            if rms < SILENT:
                kinds[slot] = 'silent'
            elif abs(rms - raw) < abs(rms - processed):
                kinds[slot] = 'unprocessed'
            else:
                kinds[slot] = 'processed'
    out = {
        'seconds': '%.2f' % (slots * 0.04),
        'silent': '%.2f' % (kinds.count('silent') * 0.04),
        'unprocessed': '%.2f' % (kinds.count('unprocessed') * 0.04),
        'processed': '%.2f' % (kinds.count('processed') * 0.04),
    }
    if fault is not None:
        at = max(0, int((fault - start) / 0.04))
        # The sound queued before the fault still plays: the return is the
        # first steady run after the first window that is not processed.
        broken = next((s for s in range(at, slots) if kinds[s] != 'processed'), None)
        back = None if broken is not None else at
        for slot in range(broken if broken is not None else slots, slots - STEADY + 1):
            if all(k == 'processed' for k in kinds[slot:slot + STEADY]):
                back = slot
                break
        out['recovered'] = 'none' if back is None else '%.2f' % max(0.0, back * 0.04 - (fault - start))
    print(' '.join('%s=%s' % kv for kv in out.items()))


if __name__ == '__main__':
    main(sys.argv)
