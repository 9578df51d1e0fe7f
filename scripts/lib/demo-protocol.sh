#!/usr/bin/env bash
# scripts/demo --protocol: builds the reference server and the command-line client, then
# starts orv-server on loopback (free ports, a fresh seeded database in a
# temporary folder) and shows the store working end to end with the real
# binaries: the sign-in API over HTTP, the store's commands over the session
# protocol, a picture from the media server and the share page. Stops the
# server and exits 0; no prompts. ORV_DEMO_TIMEOUT bounds each call (s).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$ROOT"
# ccache keeps its default cache folder and sees paths relative to the clone,
# so separate clones on one machine share their compiled objects.
export CCACHE_BASEDIR="$ROOT"
export CCACHE_NOHASHDIR=true
# shellcheck source=lib/start-orv-server.sh
. "$ROOT/scripts/lib/start-orv-server.sh"
TIMEOUT="${ORV_DEMO_TIMEOUT:-10}"
SUBSCRIBER=84912000001     # recognised from this machine's address; subscribed
OTP_NUMBER=84912000098     # signs in by one-time password; renewal due
UNREGISTERED=84912000099   # never subscribed

section() { printf '\n=== %s\n' "$1"; }
show() { printf '  %-44s -> %s\n' "$1" "$2"; }

section "build (cmake + ninja into build/)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target orv-server orv-cli
CLI="$ROOT/build/tools/orv-cli/orv-cli"

WORK="$(mktemp -d /tmp/orv-demo-XXXXXX)"
cleanup() { stop_orv_server; rm -rf "$WORK"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

section "start orv-server on loopback with a fresh database"
start_orv_server "$WORK" --listen 127.0.0.1:0 --http 127.0.0.1:0 --db "$WORK/store.db" \
  --msisdn-for "127.0.0.1=$SUBSCRIBER"
BASE="http://$HTTP_ADDR"
echo "  session server: $SESSION_ADDR    HTTP services: $BASE    database: $WORK/store.db"

get() { curl -sS --max-time "$TIMEOUT" "$BASE$1"; }

section "sign-in API over HTTP (answers are \"code|value\"; 0 = success)"
show "getmsisdn (this machine's number)" "$(get '/api.ashx?type=getmsisdn')"
show "getotp for $OTP_NUMBER" "$(get "/api.ashx?type=getotp&msisdn=$OTP_NUMBER")"
OTP="$(get "/dev/otp?msisdn=$OTP_NUMBER")"
show "/dev/otp (the password sent, demo only)" "$OTP"
WRONG=$(( (10#$OTP + 1) % 1000000 )); WRONG="$(printf '%06d' "$WRONG")"
show "checkotp with a wrong password $WRONG" "$(get "/api.ashx?type=checkotp&msisdn=$OTP_NUMBER&otp=$WRONG")"
show "checkotp with the right password" "$(get "/api.ashx?type=checkotp&msisdn=$OTP_NUMBER&otp=$OTP")"

# One extension command through the client library; prints the answer line.
call() { "$CLI" call --server "$SESSION_ADDR" --timeout "$TIMEOUT" "$@"; }
summarize() { python3 "$ROOT/scripts/lib/answer.py" summary | sed 's/^/    /'; }
demo_call() {  # title, command, content
  printf '\n  %s\n  $ orv-cli call %s '\''%s'\''\n' "$1" "$2" "$3"
  local answer; answer="$(call "$2" "$3")"
  printf '%s\n' "$answer" | summarize
  LAST_ANSWER="$answer"
}

section "store commands over the session protocol (orv-cli call: connect, handshake, login to kivmar, one request)"
demo_call "home banner games" hm '{"pf":"android","ps":5,"pi":0}'
ICON="$(printf '%s\n' "$LAST_ANSWER" | python3 scripts/lib/answer.py pick icon)"
demo_call "home sections" hm.vip '{"pf":"android","ps":5,"pi":0}'
demo_call "categories of the side menu" cnt.cat '{"pf":"android"}'
demo_call "category 1, page 0" cnt.li '{"pf":"android","ps":10,"pi":0,"id":1}'
read -r FREE_ID FREE_PRICE < <(printf '%s\n' "$LAST_ANSWER" | python3 scripts/lib/answer.py pick free)
read -r PAID_ID PAID_PRICE < <(printf '%s\n' "$LAST_ANSWER" | python3 scripts/lib/answer.py pick paid)
demo_call "category 1, page 1" cnt.li '{"pf":"android","ps":10,"pi":1,"id":1}'
demo_call "search typed without diacritics: \"dai chien\"" cnt.fin '{"pf":"android","ps":10,"pi":0,"sh":"dai chien"}'
GAME_ID="$(printf '%s\n' "$LAST_ANSWER" | python3 scripts/lib/answer.py pick first-id)"
demo_call "detail of game $GAME_ID" cnt.dt "{\"id\":$GAME_ID}"
demo_call "games related to game $GAME_ID" cnt.rlt "{\"pf\":\"android\",\"ord\":0,\"ps\":10,\"pi\":0,\"id\":$GAME_ID}"
demo_call "subscription status of $SUBSCRIBER" a.stt "{\"msi\":\"$SUBSCRIBER\"}"
demo_call "subscription status of $OTP_NUMBER" a.stt "{\"msi\":\"$OTP_NUMBER\"}"
demo_call "buy free game $FREE_ID as $UNREGISTERED" a.buy \
  "{\"id\":$FREE_ID,\"pri\":$FREE_PRICE,\"tl\":\"game\",\"msi\":\"$UNREGISTERED\",\"par\":\"\"}"
demo_call "buy paid game $PAID_ID as $UNREGISTERED (not subscribed)" a.buy \
  "{\"id\":$PAID_ID,\"pri\":$PAID_PRICE,\"tl\":\"game\",\"msi\":\"$UNREGISTERED\",\"par\":\"\"}"
demo_call "buy paid game $PAID_ID as $SUBSCRIBER (subscribed)" a.buy \
  "{\"id\":$PAID_ID,\"pri\":$PAID_PRICE,\"tl\":\"game\",\"msi\":\"$SUBSCRIBER\",\"par\":\"\"}"

section "media server and share page"
curl -sS --max-time "$TIMEOUT" -o "$WORK/icon.png" "$ICON"
SIGNATURE="$(od -An -tx1 -N8 "$WORK/icon.png" | tr -d ' \n')"
if [ "$SIGNATURE" = "89504e470d0a1a0a" ]; then CHECK="PNG signature ok"; else CHECK="NOT a PNG ($SIGNATURE)"; fi
show "GET ${ICON#"$BASE"}" "$(stat -c %s "$WORK/icon.png") bytes, $CHECK"
PAGE="$(get "/mobile/share/share.html?id=$GAME_ID")"
show "GET /mobile/share/share.html?id=$GAME_ID" "$(printf '%s' "$PAGE" | grep -o '<title>[^<]*</title>' | head -1)"

section "stop"
stop_orv_server
echo "  orv-server stopped; demo finished"
[ "$SIGNATURE" = "89504e470d0a1a0a" ]
