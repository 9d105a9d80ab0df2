#!/usr/bin/env bash
# Shows that the fast tests catch careless edits. Each mutant below is one small change of the
# kind a hurried edit makes (a border moved, a count one off, two fields swapped). The script
# applies them one at a time to a scratch copy of the tree, never to the tree itself, rebuilds,
# runs the fast tests and prints whether a test failed ("killed") or all passed ("survived").
# A mutant whose text is no longer in its file is "not-applied" and one that does not compile is
# "no-build"; neither counts as killed.
#
#   scripts/mutants.sh [WORD...]   only the mutants whose name contains one of the WORDs
#   scripts/mutants.sh --random N [--seed S]
#                N mutants at sites picked at random over every product .cpp file by
#                scripts/mutant_sites.py (operators, constants, removed calls, inverted
#                conditions, swapped arguments); the seed is printed, and the same seed picks
#                the same sites again. Each survivor is shown with its change. Its scratch
#                folder defaults to build/mutants-random, linked with lld (MUTANTS_CMAKE_ARGS
#                replaces the cmake settings); ctest stops at the first failing test.
#     --since REV  draws only from lines changed since the commit REV (in the tree tested)
#     --list       prints the drawn sites and stops: no build, no test
#   MUTANTS_DIR  scratch folder (default build/mutants), JOBS  parallel jobs (default 2),
#   MUTANTS_REV  a commit to test instead of the working tree
#   MUTANTS_BUILD  an existing build folder of the working tree: the mutants are made in the
#                working tree itself (each one undone at once, also on Ctrl-C) and built there
#   MUTANTS_TIMEOUT  ctest's limit for one test in seconds (default 60)
#   MUTANTS_CTEST_ARGS  more ctest arguments, split at blanks, e.g. '-E WholeLogoAtLineSpeed'
#                for a commit from before the slow label, whose fast set still held the tests
#                that wait for the line
set -uo pipefail
# The whole script is one group, read before it runs: editing the file during a run (of the
# tree it mutates, with MUTANTS_BUILD) cannot change the run.
{
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RANDOM_COUNT="" SEED="" SINCE="" LIST=""
ONLY=()
while [ "$#" -gt 0 ]; do
  case $1 in
    --random) RANDOM_COUNT=${2:?--random needs a count}; shift 2 ;;
    --seed) SEED=${2:?--seed needs a value}; shift 2 ;;
    --since) SINCE=${2:?--since needs a commit}; shift 2 ;;
    --list) LIST=1; shift ;;
    *) ONLY+=("$1"); shift ;;
  esac
done
if [ -n "$SEED$SINCE$LIST" ] && [ -z "$RANDOM_COUNT" ]; then
  echo "--seed, --since and --list go with --random N"; exit 2
fi
if [ -n "$SINCE" ] && ! git -C "$ROOT" rev-parse -q --verify "$SINCE^{commit}" >/dev/null; then
  echo "--since $SINCE: no such commit"; exit 2
fi
if [ -n "$RANDOM_COUNT" ]; then
  [[ "$RANDOM_COUNT" =~ ^[1-9][0-9]*$ ]] || { echo "--random needs a count above 0"; exit 2; }
  [ -z "$SEED" ] && SEED=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
  echo "seed $SEED"
  WORK=${MUTANTS_DIR:-$ROOT/build/mutants-random}
  # The build type of the worktrees (the first build comes from ccache) and a faster linker:
  # most of a mutant's time is its rebuild.
  read -r -a CMAKE_ARGS <<<"${MUTANTS_CMAKE_ARGS:--DCMAKE_BUILD_TYPE=RelWithDebInfo \
-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld}"
else
  WORK=${MUTANTS_DIR:-$ROOT/build/mutants}
  read -r -a CMAKE_ARGS <<<"${MUTANTS_CMAKE_ARGS:--DCMAKE_BUILD_TYPE=RelWithDebInfo}"
fi
TREE=$WORK/tree
BUILD=$WORK/build
# Random mode builds in the scratch tree's own build/, where the worktrees have theirs: the
# compiler sees the same relative paths and the first build comes from ccache.
[ -n "$RANDOM_COUNT" ] && BUILD=$TREE/build
if [ -n "${MUTANTS_BUILD:-}" ]; then
  TREE=$ROOT
  BUILD=$(cd "$MUTANTS_BUILD" && pwd)
fi
JOBS=${JOBS:-2}
TIMEOUT=${MUTANTS_TIMEOUT:-60}
read -r -a CTEST_ARGS <<<"${MUTANTS_CTEST_ARGS:-}"

# m NAME FILES FIND REPLACE: FILES is one or more paths or patterns; the change is made in the
# first file holding FIND. "or FILES FIND REPLACE" adds another form of the same mutant, for code
# that is being moved: the first form that applies is used.
NAMES=() FILES=() FINDS=() REPLACES=()
m() { NAMES+=("$1") FILES+=("$2") FINDS+=("$3") REPLACES+=("$4"); }
or() { m "${NAMES[-1]}" "$@"; }
LINK='src/link/*.cpp src/link/*.h src/shell/*.cpp'

# The mutants, taken in turn from each part of the program (so that a run cut short still
# covers every part): common, image, transfer, link, settings, schedule, the rest.
m halves-round-up src/common/textnum.cpp \
  'r = (std::fmod(lo, 2.0) == 0.0) ? lo : lo + 1.0;' 'r = lo + 1.0;'
m size-rule-height src/image/bmp.cpp 'w <= 720 && h <= 616' 'w <= 720 && h < 616'
m filler-one-block-more 'src/transfer/*.cpp' 'i <= n + 1;' 'i <= n + 1 + 128;'
m reply-counter-unwrapped "$LINK" 'replyCount = (replyCount + 1) % 10000;' 'replyCount = replyCount + 1;'
or "$LINK" 'kReplyCounterWrap = 10000;' 'kReplyCounterWrap = 1 << 30;'
m settings-no-rename 'src/settings/ini_settings.cpp src/common/*.cpp' 'if (ok) ok = ::rename(name.data(), file.c_str()) == 0;' 'if (ok) ok = true;'
or 'src/common/*.cpp' 'if (ok && ::rename(temp.c_str(), file.c_str()) != 0) {' 'if (ok && ::unlink(temp.c_str()) != 0) {'
or 'src/common/*.cpp' 'return check(::rename(temp.c_str(), file.c_str()) == 0);' 'return check(::unlink(temp.c_str()) == 0 && !file.empty());'
m replace-without-flush src/common/safe_file.cpp ' && steps.flush();' ';'
m day-bit-shifted src/schedule/schedule_model.cpp 'if (flags[d]) bits |= 1 << d;' 'if (flags[d]) bits |= 2 << d;'
m delay-tick-period src/platform/seams.cpp 'return 25;' 'return 24;'
m hex-lower-case src/common/textnum.cpp '"0123456789ABCDEF"' '"0123456789abcdef"'
m size-rule-pixels src/image/bmp.cpp 'pixels > 7 &&' 'pixels > 8 &&'
m rows-bottom-up 'src/transfer/*.cpp' 'for (int r = h - 1; r >= 0; --r)' 'for (int r = 0; r < h; ++r)'
m send-counter-unwrapped "$LINK" 'sendCount = (sendCount + 1) % 10000;' 'sendCount = sendCount + 1;'
or "$LINK" 'kSendCounterWrap = 10000;' 'kSendCounterWrap = 1 << 30;'
# The first changes the writer's search for the line it replaces, the second the reader.
m settings-last-equals src/settings/ini_settings.cpp "size_t eq = t.find('=');" "size_t eq = t.rfind('=');"
m settings-reader-last-equals src/settings/ini_settings.cpp "    size_t eq = t.find('=');" "    size_t eq = t.rfind('=');"
m settings-written-in-place src/common/safe_file.cpp 'if (exists && (!S_ISREG(st.st_mode) || sys::isKernelName(path))) {' 'if (exists && (S_ISREG(st.st_mode) || sys::isKernelName(path))) {'
m runner-day-bit-shifted 'src/schedule/*.cpp src/shell/*.cpp' '(1 << d)' '(2 << d)'
m splash-countdown src/shell/about.h 'kSplashCountdown = 7;' 'kSplashCountdown = 8;'
m octal-base-ten src/common/textnum.cpp "(kind == 'O' ? 8 : 0)" "(kind == 'O' ? 10 : 0)"
m top-down-rows-flipped src/image/bmp.cpp 'L.topDown ? L.height - 1 - r : r' 'L.topDown ? r : L.height - 1 - r'
m setup-width-byte 'src/transfer/*.cpp' 'block[8] = static_cast<int>(quarterWidth & 0xFF);' 'block[8] = static_cast<int>(halfHeight & 0xFF);'
m watchdog-warning-tick "$LINK" 'silentTicks == 800' 'silentTicks == 801'
or "$LINK" 'kMenusOffTicks = 800;' 'kMenusOffTicks = 801;'
m locked-rule-truth src/settings/setting_keys.cpp '"Locked", false, T::TrueUnlessFalse' '"Locked", false, T::TrueOnly'
m sequence-end-inclusive src/schedule/schedule_model.cpp 'if (t < start || t >= end) return false;' 'if (t < start || t > end) return false;'
m error-panel-countdown 'src/shell/*.cpp src/common/*.cpp' 'errorCountdown = 400;' 'errorCountdown = 40;'
or 'src/shell/*.h' 'kErrorTicks = 400;' 'kErrorTicks = 40;'
m int-clamp-lost src/common/textnum.cpp \
  'if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();' ''
m colour-level-rounding src/image/encoder.cpp 'std::min((c + 32) / 64, 3)' 'std::min((c + 31) / 64, 3)'
m setup-sync-byte 'src/transfer/*.cpp' 'block[1] = 170;' 'block[1] = 171;'
m watchdog-give-up-tick "$LINK" 'silentTicks == 1200' 'silentTicks == 1199'
or "$LINK" 'kCloseTicks = 1200;' 'kCloseTicks = 1199;'
m sequence-on-one-longer src/schedule/schedule_model.cpp '% (15LL * s.off[i]) < 15LL * s.on[i]' '% (15LL * s.off[i]) <= 15LL * s.on[i]'
m sim-filler-count src/sim/node.cpp '(n + 1) / kFillerBlock + 1' '(n + 1) / kFillerBlock'
# The node now counts the fillers by the program's own plan: the same change on both sides.
or 'src/transfer/*.h' '(room() + 1) / kFillerBlock + 1' '(room() + 1) / kFillerBlock'
m luma-weights-swapped src/image/encoder.cpp '0.3 * r + 0.59 * g + 0.11 * b' '0.3 * r + 0.59 * b + 0.11 * g'
m register-default 'src/transfer/*.cpp' 't[13] = 128;' 't[13] = 127;'
m watchdog-wake-period "$LINK" 'silentTicks % 200 == 0' 'silentTicks % 201 == 0'
or "$LINK" 'kCallPeriod = 200;' 'kCallPeriod = 201;'
m look-ahead-midnight src/schedule/schedule_model.cpp 'at.t > kSecondsPerDay - 1' 'at.t > kSecondsPerDay'
m sim-readback-marker src/sim/node.cpp 'config_.color ? "SC" : "SD"' 'config_.color ? "SD" : "SC"'
m one-bit-white-value src/image/encoder.cpp 'rgb ? 191 : 248' 'rgb ? 191 : 240'
m position-high-byte 'src/transfer/*.cpp src/image/*.cpp' '(v & ~0xFFLL) / 256' '(v & ~0xFFLL) / 255'
m wake-all-id "$LINK" 'node = "00";' 'node = "0";'
or "$LINK" 'std::string("00"));' 'std::string("0"));'
m clock-minute-padding src/schedule/schedule_model.cpp 'if (m < 10) text += "0";' 'if (m < 9) text += "0";'
m clock-day-wrap src/schedule/schedule_model.cpp 'whole % kSecondsPerDay' 'whole'
m qt-receive-threshold src/qtplatform/qt_serial_port.cpp 'bytesAvailable() < kReceiveThreshold' 'bytesAvailable() <= kReceiveThreshold'
m one-bit-pixel-order src/image/encoder.cpp '(7 - x % 8)' '(x % 8)'
m vertical-clamp-border 'src/transfer/*.cpp src/image/*.cpp' 'vPercent * 52 / 100.0 + 4), 4, 56)' 'vPercent * 52 / 100.0 + 4), 4, 55)'
or 'src/transfer/*.cpp' 'percent * 52 / 100.0 + 4), 4, 56)' 'percent * 52 / 100.0 + 4), 4, 55)'
m reconnect-ticks "$LINK" 'kReconnectTicks = 40;' 'kReconnectTicks = 41;'
m qt-lost-port-open src/qtplatform/qt_serial_port.cpp 'return port_.isOpen() && !lost_;' 'return port_.isOpen();'
m ycbcr-brightness-mask src/image/encoder.cpp 'return (brightness & 240) + colour / 16;' 'return (brightness & 224) + colour / 16;'
m port-init-ticks "$LINK" 'kComInitTicks = 20;' 'kComInitTicks = 19;'
m port-map-largest src/platform/port_map.cpp 'n >= 1 && n <= PortMap::kMaxNumber' 'n >= 1 && n < PortMap::kMaxNumber'
m ycbcr-lanes-shift src/image/encoder.cpp '((y & 240) + (c >> 4))' '((y & 240) + (c >> 3))'
m diag-fade-scale "$LINK" '34.0 + v * 120.0 / 99.0' '34.0 + v * 120.0 / 100.0'
or "$LINK" '* 120.0 / 99.0' '* 120.0 / 100.0'
m ctl-format-rgb 'src/ctl/*.cpp' 'o.rgb = v == "rgb";' 'o.rgb = v != "ycbcr";'
or src/common/pixel_format.h 'if (text == "rgb") return PixelFormat::Rgb;' 'if (text == "rgb") return PixelFormat::YCbCr;'
m site-last-section src/ctl/site_file.cpp \
  'if (const std::string why = reader.finishNode(); !why.empty()) return why;' ''
m site-needs-512 src/ctl/ctl_apply.cpp 'n.memoryKiB == 0 && !logo.smallMemoryRefusal.empty()' \
  'n.memoryKiB == 1 && !logo.smallMemoryRefusal.empty()'
m site-comment-after-blank src/ctl/site_file.cpp "(line[i - 1] == ' ' || line[i - 1] == '\\t')" \
  "(line[i - 1] == '\\t')"
m site-bom src/ctl/site_file.cpp 'raw.erase(0, 3);' 'raw.erase(0, 0);'
m site-port-value src/ctl/site_file.cpp '!cli::wholeNumber(text, 1, 255)' '!cli::wholeNumber(text, 1, 999)'
m readback-field-order src/image/readback.cpp 'r = field == 0 ? 62 : 63' 'r = field == 0 ? 63 : 62'
m ctl-large-memory 'src/ctl/*.cpp' 'app.largeMemory = o.memoryK == 512;' 'app.largeMemory = o.memoryK >= 64;'
or 'src/ctl/*.cpp' 'setLargeMemory(o.memoryK == 512);' 'setLargeMemory(o.memoryK >= 64);'
or 'src/ctl/*.cpp' 'if (kiB < 512 && !logo.smallMemoryRefusal.empty()) {' 'if (kiB < 64 && !logo.smallMemoryRefusal.empty()) {'
m readback-marker-offset src/image/readback.cpp 'return at + 2;' 'return at + 3;'
m readback-store-not-inverted src/image/readback.cpp 'colour ? 0 : 255;' 'colour ? 0 : 0;'
m node-view-green-shift src/image/node_view.cpp 'levelByte(value >> 2)' 'levelByte(value >> 3)'
m image-half-height 'src/image/*.cpp' 'fullPage ? 0 : h / 2;' 'fullPage ? 0 : h / 4;'
or 'src/shell/*.cpp' 'fullPage ? 0 : h / 2;' 'fullPage ? 0 : h / 4;'
or 'src/shell/*.cpp' 'fullPage ? 0 : height / 2;' 'fullPage ? 0 : height / 4;'
# Several nodes on a line, the window's guards of a live line, pictures: the behaviours of the
# misses list in docs/testing.md, each with the test that holds it named there.
m fleet-quiet-spell 'src/transfer/*.cpp' 'g.quietAfter = g.memoryKiB < largest;' 'g.quietAfter = false;'
m fleet-quiet-planned 'src/transfer/*.cpp' 'if (g.quietAfter) seconds += FleetDownload::kQuietSeconds;' \
  'if (!g.quietAfter) seconds += FleetDownload::kQuietSeconds;'
m fleet-quiet-unasked-memory 'src/transfer/*.cpp' 'int largest = job.wholeLine ? 0 : kLargestMemoryKiB;' \
  'int largest = 0;'
m fleet-cancelled-scan src/shell/scan_presenter.cpp 'wholeRange_ && !cancelled() &&' 'wholeRange_ &&'
m fleet-answer-deadline 'src/transfer/*.cpp' 'now() + lineBacklog() + kAnswerSeconds' 'now() + kAnswerSeconds'
m fleet-refusal-stated-memory 'src/transfer/*.cpp' 'if (r.memoryKiB < kLargestMemoryKiB && !refusal.empty())' \
  'if (n.memoryKiB < kLargestMemoryKiB && !refusal.empty())'
m fleet-refusal-answered-memory 'src/transfer/*.cpp' 'if (r.memoryKiB < kLargestMemoryKiB && !refusal.empty())' \
  'if (answered < kLargestMemoryKiB && !refusal.empty())'
m ctl-fleet-exit-status 'src/transfer/*.cpp' 'return std::all_of(results.begin(), results.end(),' 'return std::any_of(results.begin(), results.end(),'
or 'src/ctl/*.cpp' 'drained && programmed == static_cast<int>(results.size())' 'drained && programmed > 0'
m ctl-nodes-trailing-comma 'src/ctl/*.cpp' 'for (size_t at = 0; at <= text.size();)' 'for (size_t at = 0; at < text.size();)'
m window-second-start-erasing 'src/shell/*.cpp' 'if (view().lineHeld || view().starting) return;' 'if (view().lineHeld) return;'
m window-close-after-end 'src/shell/*.cpp' '    // The download may have ended while the question was open.
    if (!view().lineHeld && !view().starting) return true;' ''
m window-failure-status-lost 'src/shell/*.cpp' '} else {
    // Whatever the error panel said' '} else if (line_) {
    // Whatever the error panel said'
or 'src/shell/*.cpp' '} else if (line_ || !link_.isOpen()) {' '} else if (line_) {'
m window-failure-status-open 'src/shell/*.cpp' '} else {
    // Whatever the error panel said' '} else if (!link_.isOpen()) {
    // Whatever the error panel said'
or 'src/shell/*.cpp' '} else if (line_ || !link_.isOpen()) {' '} else if (!link_.isOpen()) {'
m window-failure-status-unsent 'src/shell/*.cpp' '} else {
    // Whatever the error panel said' '} else if (line_ || !link_.isOpen()) {
    // Whatever the error panel said'
m convert-cube-green-index 'src/convert/*.cpp' 'g = (qGreen(p) * 6 + 127) / 255' 'g = (qGreen(p) * 5 + 127) / 255'
m convert-cube-red-level 'src/convert/*.cpp' 'r * 51, (g * 255 + 3) / 6' 'r * 50, (g * 255 + 3) / 6'
m bmp-last-row-exact src/image/bmp.cpp 'if (required > fileSize) return cutShort(required);' 'if (required >= fileSize) return cutShort(required);'
m bmp-last-row-padded src/image/bmp.cpp 'stride * static_cast<uint64_t>(h - 1) + rowBytes' 'stride * static_cast<uint64_t>(h)'

# The line belongs to the operator: the wake choice, the bytes in flight, the stop and the
# refusals before the line.
m wake-one-without-sleep "$LINK" '  if (id > 0) send("SP");' ''
m reopen-wakes-all src/shell/app.cpp 'dispatcher_.restoreWake();' 'dispatcher_.wakeAll();'
m watchdog-wakes-node-field src/link/node_session.cpp 'dispatcher_.restoreWake();' 'dispatcher_.wakeCurrent();'
m download-without-target src/shell/download_presenter.cpp 'job.sendFirst(targetCommands(link_.line().awake()));' ''
m scan-ends-waking-all src/shell/scan_presenter.cpp 'scan_->finish = restoreCommands(link_.line().awake());' ''
m fleet-ends-waking-all src/shell/scan_presenter.cpp 'job.finish = restoreCommands(link_.line().awake());' ''
m in-flight-unbounded src/link/line_state.cpp 'last > kMostInFlight' 'last > 8 * kMostInFlight'
m in-flight-ignores-rate src/link/line_state.cpp 'std::max(0.0, lineFree_ - loop_.monotonicSeconds())' '0.0 * (lineFree_ - loop_.monotonicSeconds())'
m stop-then-closing-wake 'src/transfer/*.cpp' 'if (!portLost && !stop_.insideStream) {' 'if (!portLost) {'
m stop-not-drained src/shell/download_presenter.cpp 'link_.line().drain(kQuietLineSeconds, {}, [this](int64_t left) {' 'link_.line().drain(0, {}, [this](int64_t left) {'
m size-two-answers-taken src/link/node_session.cpp "if (bare[i] < '0' || bare[i] > '9' || kiB > 100000) return -1;" "if (bare[i] < '0' || bare[i] > '9' || kiB > 100000) break;"
m stated-memory-wins 'src/transfer/*.cpp' '} else if (n.memoryKiB > 0 && n.memoryKiB != answered) {' '} else if (false) {'
m window-unknown-memory-sent src/shell/download_presenter.cpp 'if (session_.memorySize() <= 0) {' 'if (false) {'
m ctl-bitmap-after-open 'src/ctl/ctl_download.cpp' '  if (!refused.empty()) {' '  if (false) {'
# Survivors of a random run over the newest code, each now held by a test.
m ids-twice-text src/ctl/ctl_options.cpp '" names node " + std::to_string(id) + " twice"' '" oames node " + std::to_string(id) + " twice"'
m ids-or-all-text src/ctl/ctl_options.cpp '(option == "--nodes" ? ", or all" : "")' '(option == "--oodes" ? ", or all" : "")'
m encode-format-text src/ctl/ctl_image.cpp "' (rgb or ycbcr)\"" "' (sgb or ycbcr)\""
m leading-value-missing src/ctl/command_table.cpp '(name == w && at + 1 == words.size())' '(name == w && at - 1 == words.size())'
m kernel-names-and src/platform/file_system_posix.cpp 'path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0' 'path.rfind("/dev/", 0) == 0 && path.rfind("/proc/", 0) == 0'
m kernel-proc-missed src/platform/file_system_posix.cpp 'path.rfind("/proc/", 0) == 0;' 'path.rfind("/proc/", 0) == 1;'
m up-steps-two src/gui/main_window.cpp 'pressed == Qt::Key_Up ? 1 : -1' 'pressed == Qt::Key_Up ? 2 : -1'
m port-255-lost src/platform/port_map.cpp 'if (next > kMaxNumber) return;' 'if (next >= kMaxNumber) return;'
m select-extra-text src/ctl/ctl_link.cpp 'usageError("select", "unexpected argument' 'usageError("select", "vnexpected argument'
m check-summary-text src/ctl/command_table.cpp '"the bitmap reader'"'"'s verdict and the bitmap'"'"'s figures",' '"uhe bitmap reader'"'"'s verdict and the bitmap'"'"'s figures",'
m acm-not-searched src/platform/port_map.cpp '"ttyUSB", "ttyACM", "ttyAMA", "ttyS"' '"ttyUSB", "utyACM", "ttyAMA", "ttyS"'
m editor-words-lost src/platform/launcher_posix.cpp '        word.push_back(*c);' '        (void)0;'
m stop-terminal-inverted src/ctl/ctl_host.cpp 'const bool terminal = ::isatty(2) == 1;' 'const bool terminal = ::isatty(2) != 1;'
m question-default-inverted src/gui/gui_dialogs.cpp 'preset == Preset::Ok ? QMessageBox::Ok' 'preset != Preset::Ok ? QMessageBox::Ok'
m size-one-kib-refused src/link/node_session.cpp 'return kiB > 0 ? static_cast<int>(kiB) : -1;' 'return kiB > 1 ? static_cast<int>(kiB) : -1;'
m emacs-always-dropped src/platform/launcher_posix.cpp 'if (program == "emacs" && std::find' 'if (program == "emacs" || std::find'
m scan-estimate-grows src/ctl/ctl_scan.cpp 'estimateSeconds(count - before - index)' 'estimateSeconds(count - before + index)'
m config-folder-text src/platform/file_system_posix.cpp '+ "/.config";' '+ "/.donfig";'
m send-empty-text src/ctl/ctl_link.cpp 'usageError("send", "the text is empty")' 'usageError("tend", "the text is empty")'
m scan-output-held src/ctl/ctl_scan.cpp 'std::fflush(stdout);' '(void)0;'
m unsaved-skips-start src/shell/schedule_editor.cpp 'for (size_t k = 0; k < lists.size(); ++k) {' 'for (size_t k = 1; k < lists.size(); ++k) {'
m upload-open-text-env src/ctl/ctl_link.cpp 'openLine("upload", options, host, rc)' 'openLine("vpload", options, host, rc)'

say() { printf '%-15s %s\n' "$1" "$2"; }

# The scratch tree mirrors the worktree (tracked and new files) or MUTANTS_REV, keeping
# unchanged files' times so that only what changed is rebuilt.
SRC=$ROOT
[ -n "${MUTANTS_REV:-}" ] && SRC=$WORK/export
sync_tree() {
  mkdir -p "$TREE"
  if [ -n "${MUTANTS_REV:-}" ]; then
    rm -rf "$SRC" && mkdir -p "$SRC"
    git -C "$ROOT" archive "$MUTANTS_REV" | tar -x -C "$SRC"
    (cd "$SRC" && find . -type f -printf '%P\0')
  else
    (cd "$ROOT" && git ls-files -co --exclude-standard -z)
  fi | python3 -c '
import os, shutil, sys
root, tree = sys.argv[1], sys.argv[2]
wanted = set(p for p in sys.stdin.read().split("\0") if p and os.path.isfile(os.path.join(root, p)))
for p in wanted:
    src, dst = os.path.join(root, p), os.path.join(tree, p)
    if os.path.exists(dst) and open(src, "rb").read() == open(dst, "rb").read():
        continue
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    shutil.copy2(src, dst)
for d, dirs, files in os.walk(tree):
    if d == tree and "build" in dirs:
        dirs.remove("build")  # the scratch build folder of random mode
    for f in files:
        p = os.path.relpath(os.path.join(d, f), tree)
        if p not in wanted:
            os.remove(os.path.join(d, f))
' "$SRC" "$TREE"
}

# Replaces the first occurrence of FIND by REPLACE in FILE; exit 3 when FIND is not there.
apply_text() {
  FIND=$2 REPLACE=$3 python3 -c '
import os, sys
path = sys.argv[1]
text = open(path, encoding="utf-8").read()
find = os.environ["FIND"]
if find not in text:
    sys.exit(3)
open(path, "w", encoding="utf-8").write(text.replace(find, os.environ["REPLACE"], 1))
' "$1"
}

CURRENT=""
restore() {
  if [ -n "$CURRENT" ]; then
    cp "$WORK/originals/$CURRENT" "$TREE/$CURRENT"  # a fresh time: rebuilt next
    CURRENT=""
  fi
}
trap 'restore; exit 130' INT TERM
trap restore EXIT

build() { nice cmake --build "$BUILD" -j"$JOBS" "$@" >"$WORK/build.log" 2>&1; }
# The fast set; the unit tests first, on their own: most mutants fall there, in seconds.
unit_tests() {
  build --target osd_tests || return 2
  timeout "$((TIMEOUT * 5))" nice "$BUILD/tests/osd_tests" --gtest_filter='-*Slow' \
    >"$WORK/unit.log" 2>&1
}
fast_tests() {
  (cd "$BUILD" && QT_QPA_PLATFORM=offscreen nice ctest -LE slow -j"$JOBS" --timeout "$TIMEOUT" \
    --stop-on-failure "${CTEST_ARGS[@]}" >"$WORK/ctest.log" 2>&1)
}

# The random sites, into $WORK/sites.tsv; with --since only those on lines changed since then.
draw_sites() {
  local since=()
  [ -n "$SINCE" ] && since=(--since "$SINCE" --repo "$ROOT" ${MUTANTS_REV:+--to "$MUTANTS_REV"})
  python3 "$ROOT/scripts/mutant_sites.py" "$TREE" "$RANDOM_COUNT" "$SEED" "${since[@]}" \
    >"$WORK/sites.tsv" && [ -s "$WORK/sites.tsv" ]
}

mkdir -p "$WORK/originals"
[ -z "${MUTANTS_BUILD:-}" ] && sync_tree
if [ -n "$LIST" ]; then
  draw_sites || { echo "no sites"; exit 2; }
  awk -F'\t' '{ printf "%d %s:%s %s\n  -%s\n  +%s\n", NR, $1, $2, $3, $4, $5 }' "$WORK/sites.tsv"
  exit 0
fi
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$TREE" -B "$BUILD" -G Ninja "${CMAKE_ARGS[@]}" \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >"$WORK/configure.log" 2>&1 ||
    { echo "configure failed: $WORK/configure.log"; exit 2; }
fi
build || { echo "the unchanged tree does not build: $WORK/build.log"; exit 2; }
fast_tests || { echo "the fast tests fail on the unchanged tree: $WORK/ctest.log"; exit 2; }

# Makes form i of a mutant in the first of its files that holds the text; sets CURRENT.
apply_form() {
  local i=$1 f
  for f in $(cd "$TREE" && eval "ls -d ${FILES[$i]}" 2>/dev/null); do
    CURRENT=$f
    mkdir -p "$(dirname "$WORK/originals/$f")"
    cp "$TREE/$f" "$WORK/originals/$f"
    apply_text "$TREE/$f" "${FINDS[$i]}" "${REPLACES[$i]}" && return 0
    CURRENT=""
  done
  return 1
}

killed=0 survived=0 missing=0 broken=0
survivors=()

# Runs one mutant made by the caller in CURRENT; prints and counts its outcome.
judge() {
  local label=$1
  unit_tests
  unit=$?
  if [ "$unit" = 2 ] || { [ "$unit" = 0 ] && ! build; }; then
    say no-build "$label"; broken=$((broken + 1)); return 1
  elif [ "$unit" = 0 ] && fast_tests; then
    say survived "$label"; survived=$((survived + 1)); return 0
  fi
  say killed "$label"; killed=$((killed + 1)); return 1
}

summary() {
  applied=$((killed + survived))
  echo
  echo "applied $applied, killed $killed, survived $survived, not applied $missing, no build $broken"
  if [ "$applied" -gt 0 ]; then
    echo "killed: $((100 * killed / applied)) % of the applied mutants"
  fi
}

if [ -n "$RANDOM_COUNT" ]; then
  draw_sites || { echo "no sites"; exit 2; }
  : >"$WORK/survivors.diff"
  n=0
  while IFS=$'\t' read -r -u 3 file line kind original mutated; do
    n=$((n + 1))
    CURRENT=$file
    mkdir -p "$(dirname "$WORK/originals/$file")"
    cp "$TREE/$file" "$WORK/originals/$file"
    if ! LINE=$line ORIGINAL=$original MUTATED=$mutated python3 -c '
import os, sys
path, at = sys.argv[1], int(os.environ["LINE"]) - 1
lines = open(path, encoding="utf-8").read().split("\n")
if at >= len(lines) or lines[at].replace("\t", " ") != os.environ["ORIGINAL"]:
    sys.exit(3)
lines[at] = os.environ["MUTATED"]
open(path, "w", encoding="utf-8").write("\n".join(lines))
' "$TREE/$file"; then
      CURRENT=""; say not-applied "$n $file:$line"; missing=$((missing + 1)); continue
    fi
    if judge "$n $file:$line $kind"; then
      survivors+=("$n")
      printf '%s\n' "--- $n $file:$line ($kind)" "-$original" "+$mutated" | tee -a "$WORK/survivors.diff"
    fi
    restore
  done 3<"$WORK/sites.tsv"
  build >/dev/null 2>&1 || true
  summary
  echo "seed $SEED; survivors' changes: $WORK/survivors.diff"
  exit 0
fi

i=0
while [ "$i" -lt "${#NAMES[@]}" ]; do
  name=${NAMES[$i]} applied_here="" skip=""
  if [ "${#ONLY[@]}" -gt 0 ]; then
    skip=1
    for word in "${ONLY[@]}"; do [[ "$name" == *"$word"* ]] && skip=""; done
  fi
  while [ "$i" -lt "${#NAMES[@]}" ] && [ "${NAMES[$i]}" = "$name" ]; do
    [ -z "$skip$applied_here" ] && apply_form "$i" && applied_here=$CURRENT
    i=$((i + 1))
  done
  [ -n "$skip" ] && continue
  if [ -z "$applied_here" ]; then
    say not-applied "$name"; missing=$((missing + 1)); continue
  fi
  judge "$name ($applied_here)" && survivors+=("$name")
  restore
done
build >/dev/null 2>&1 || true  # leave the scratch build matching the tree

summary
[ "${#survivors[@]}" -gt 0 ] && echo "survivors: ${survivors[*]}"
exit 0
}
