#!/usr/bin/env bash
# Makes the small music files that the portal simulator serves, once; the
# results are committed under tools/portal-sim/media/. Needs python3 and lame
# (apt-get install lame). Constant bit rates so that tests can predict the
# bit rate the player reads from the stream.
#
#   tone30s-32k.mp3   30 s, 22.05 kHz mono, CBR 32 kb/s  (long enough to seek)
#   tone3s-128k.mp3    3 s, 44.1 kHz stereo, CBR 128 kb/s
#   tone1s.wav         1 s, 8 kHz mono, 16-bit PCM
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/../portal-sim/media}"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# A slow sweep with a short beep every second, so that a listener hears the
# position move. Deterministic: the same bytes every run.
python3 - "$tmp" <<'PY'
import math, struct, sys, wave
tmp = sys.argv[1]
def tone(path, seconds, rate, channels):
    frames = []
    for i in range(int(seconds * rate)):
        t = i / rate
        v = 0.3 * math.sin(2 * math.pi * (220.0 * t + 220.0 * t * t / seconds))
        if (t % 1.0) < 0.05:
            v += 0.2 * math.sin(2 * math.pi * 1760.0 * t)
        s = int(max(-1.0, min(1.0, v)) * 32000)
        frames.append(struct.pack('<h', s) * channels)
    with wave.open(path, 'wb') as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b''.join(frames))
tone(f"{tmp}/t30.wav", 30, 22050, 1)
tone(f"{tmp}/t3.wav", 3, 44100, 2)
tone(f"{tmp}/t1.wav", 1, 8000, 1)
PY

lame --quiet --cbr -b 32 -m m --resample 22.05 "$tmp/t30.wav" "$out/tone30s-32k.mp3"
lame --quiet --cbr -b 128 -m j --resample 44.1 "$tmp/t3.wav" "$out/tone3s-128k.mp3"
cp "$tmp/t1.wav" "$out/tone1s.wav"
ls -l "$out"
