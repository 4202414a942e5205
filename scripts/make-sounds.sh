#!/usr/bin/env bash
# Makes the four sound cues in Sound/ from Debian's sox and espeak-ng:
#   fenling.WAV  chime at start-up and before the menu commands
#   xiayige.wav  step cue, a spoken "下一个", played on every step
#   guzhang.WAV  applause (Space)
#   cuo.wav      gentle wrong-answer sound (digit keys)
# Every file is 16-bit mono PCM at 22050 Hz, peak-normalised to -1 dBFS and
# starts with sound at its very first samples.  The program looks the files
# up by exact name, so keep the case of the extensions.
#
# Usage: scripts/make-sounds.sh [output folder, default Sound/ of the repository]
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/Sound}

need=()
command -v sox >/dev/null || need+=(sox)
command -v espeak-ng >/dev/null || need+=(espeak-ng)
if ((${#need[@]})); then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${need[@]}"
fi

mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rate=22050
fmt=(-r "$rate" -c 1 -b 16 -e signed-integer)
# -R: repeatable noise and dither, so that the same script gives the same files
sx() { sox -R -V1 "$@"; }

# Drop leading silence (the cue must sound at once) and trailing silence, add
# a 2 ms fade-in against a click, and bring the peak to -1 dBFS.
finish() {
    sx "$1" "${fmt[@]}" -t wav "$2" \
        silence 1 0.001 0.3% reverse silence 1 0.005 0.2% reverse \
        fade t 0.002 norm -1
}

# --- Chime: three bell strokes rising over a C major chord, with a short room.
times() { awk -v a="$1" -v b="$2" 'BEGIN { print a * b }'; }
bell() {  # frequency, start (s), file: the tone, its octave and a bright overtone
    local f=$1
    sx -n "${fmt[@]}" "$work/b0.wav" synth 1.1 sine "$f" fade l 0.002 1.1 1.08
    sx -n "${fmt[@]}" "$work/b1.wav" synth 0.4 sine "$(times "$f" 2)" fade l 0.002 0.4 0.38
    sx -n "${fmt[@]}" "$work/b2.wav" synth 0.25 sine "$(times "$f" 2.76)" fade l 0.002 0.25 0.24
    sx -m -v 1 "$work/b0.wav" -v 0.35 "$work/b1.wav" -v 0.2 "$work/b2.wav" "$3" pad "$2"
}
bell 784.0 0.00 "$work/c1.wav"
bell 1046.5 0.14 "$work/c2.wav"
bell 1318.5 0.28 "$work/c3.wav"
sx -m "$work/c1.wav" "$work/c2.wav" "$work/c3.wav" "${fmt[@]}" "$work/chime.wav" \
    reverb 30 60 40 trim 0 1.4 fade t 0 1.4 0.3
finish "$work/chime.wav" "$out/fenling.WAV"

# --- Step cue: "下一个" in espeak-ng's Mandarin voice.  The voice is given
# pinyin: the voice "cmn" of espeak-ng 1.51 reads Chinese characters out as
# pinyin letters and tone digits.  Spoken quickly and a little high, to stay
# short and friendly.
espeak-ng -v cmn-latn-pinyin -s 165 -p 62 -w "$work/voice.wav" "xia4yi2ge4" 2>/dev/null
sx "$work/voice.wav" "${fmt[@]}" "$work/voice2.wav" highpass 120 treble 2
finish "$work/voice2.wav" "$out/xiayige.wav"

# --- Applause: a dozen clappers, each clapping about four times a second
# with its own hand tone, loudness and timing jitter, swelling in and dying
# away within a second and a half.
RANDOM=936  # bash's generator: fixed seed, same applause every run
sx -n "${fmt[@]}" "$work/noise.wav" synth 0.05 whitenoise fade l 0 0.05 0.047
mix=()
for clapper in $(seq 1 12); do
    centre=$((900 + RANDOM % 1400))
    sx "$work/noise.wav" "$work/hand$clapper.wav" bandpass "$centre" 1.3q
    period=$((220 + RANDOM % 60))               # ms between claps
    t=$((clapper == 1 ? 0 : RANDOM % 200))      # the first clap opens the file
    while ((t < 1250)); do
        g=$((60 + RANDOM % 40))  # not inside $(...): a subshell reseeds RANDOM
        gain=$(times "$g" 0.01)
        sx "$work/hand$clapper.wav" "$work/clap_${clapper}_$t.wav" pad "$(times "$t" 0.001)"
        mix+=(-v "$gain" "$work/clap_${clapper}_$t.wav")
        t=$((t + period + RANDOM % 50 - 25))
    done
done
sx -m "${mix[@]}" "${fmt[@]}" "$work/claps.wav" \
    pad 0 0.3 reverb 25 50 30 trim 0 1.6 fade t 0.04 1.6 0.6
finish "$work/claps.wav" "$out/guzhang.WAV"

# --- Wrong answer: a soft falling "uh-oh" of two round notes, no buzz.
sx -n "${fmt[@]}" "$work/w1.wav" synth 0.17 sine 392 sine mix 784 fade q 0.004 0.17 0.05 vol 0.8
sx -n "${fmt[@]}" "$work/w2.wav" synth 0.36 sine 330-294 sine mix 660-588 fade q 0.01 0.36 0.22
sx "$work/w1.wav" "$work/w2.wav" "${fmt[@]}" "$work/wrong.wav" lowpass 1800 reverb 15 70 20 \
    trim 0 0.6 fade t 0 0.6 0.1
finish "$work/wrong.wav" "$out/cuo.wav"

for f in fenling.WAV xiayige.wav guzhang.WAV cuo.wav; do
    printf '%-12s %6s bytes  %ss\n' "$f" "$(stat -c %s "$out/$f")" "$(soxi -D "$out/$f")"
done
