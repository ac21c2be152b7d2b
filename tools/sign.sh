#!/bin/bash
# sign.sh --pkcs12 FILE [--password-env NAME] [--name TEXT] [--url URL]
#         [--timestamp URL] [--ca FILE] [--checker] [PROGRAM...]
#
# Signs SETUP.EXE (Authenticode, SHA-256) with osslsigncode, so that Windows
# names the publisher instead of warning about an unknown one.
#
# PROGRAM...        the files to sign; default the win32 build's SETUP.EXE
#                   (build/win32/src/app/SETUP.EXE).
# --checker         also the build's SETUPCHK.EXE (build/win32/src/check).
# --pkcs12 FILE     the code-signing certificate and its key (PKCS#12).
# --password-env NAME
#                   the environment variable holding the PKCS#12 password
#                   (default SETUP_SIGN_PASSWORD). The password never goes
#                   on a command line: osslsigncode reads it from a file only
#                   this user can read, removed when the script ends.
# --name TEXT       the signature's description, which Windows shows as the
#                   program's name when it asks the user (default: the
#                   SETUP_PRODUCT_NAME the win32 build was configured with).
# --url URL         the signature's address for more information.
# --timestamp URL   an RFC 3161 time-stamp server: the signature then stays
#                   valid after the certificate expires.
# --ca FILE         certificates (PEM) to verify the signature against, for a
#                   certificate whose root is not in the system's store.
#
# Each program is signed into a new file beside it; that file replaces the
# program only after `osslsigncode verify` accepts it. A program that was
# signed before gets the new signature in place of the old one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage() { sed -n '2,3p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

pkcs12="" password_env=SETUP_SIGN_PASSWORD name="" url="" timestamp="" ca="" checker=0
while [ $# -ge 1 ]; do
  case $1 in
    --pkcs12) pkcs12=${2:?}; shift 2 ;;
    --password-env) password_env=${2:?}; shift 2 ;;
    --name) name=${2:?}; shift 2 ;;
    --url) url=${2:?}; shift 2 ;;
    --timestamp) timestamp=${2:?}; shift 2 ;;
    --ca) ca=${2:?}; shift 2 ;;
    --checker) checker=1; shift ;;
    --help|-h) usage ;;
    -*) echo "sign: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=("$root/build/win32/src/app/SETUP.EXE")
[ "$checker" = 0 ] || programs+=("$root/build/win32/src/check/SETUPCHK.EXE")

fail() { echo "sign: $*" >&2; exit 1; }
command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (tools/install-deps.sh)"
[ -n "$pkcs12" ] || fail "name the certificate with --pkcs12 FILE"
[ -f "$pkcs12" ] || fail "no PKCS#12 file $pkcs12"
[[ $password_env =~ ^[A-Za-z_][A-Za-z0-9_]*$ ]] || fail "--password-env takes a variable name"
[ -n "${!password_env+set}" ] || fail "set the PKCS#12 password in the environment variable $password_env"
[ -z "$ca" ] || [ -f "$ca" ] || fail "no certificate file $ca"
if [ -z "$name" ]; then
  cache=$root/build/win32/CMakeCache.txt
  [ -f "$cache" ] && name=$(sed -n 's/^SETUP_PRODUCT_NAME:STRING=//p' "$cache")
  [ -n "$name" ] || fail "give the signature's description with --name (no configured win32 build to take it from)"
fi
for program in "${programs[@]}"; do
  [ -f "$program" ] || fail "no program $program (build it first: cmake --build --preset win32)"
done

work=$(umask 077 && mktemp -d)
trap 'rm -rf "$work"' EXIT
password_file=$work/password
(umask 077 && printf '%s' "${!password_env}" > "$password_file")

sign_options=(-pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n "$name")
[ -z "$url" ] || sign_options+=(-i "$url")
[ -z "$timestamp" ] || sign_options+=(-ts "$timestamp")
verify_options=()
[ -z "$ca" ] || verify_options+=(-CAfile "$ca")

for program in "${programs[@]}"; do
  signed=$program.signed-$$
  rm -f "$signed"
  if ! osslsigncode sign "${sign_options[@]}" -in "$program" -out "$signed" > "$work/sign.log" 2>&1; then
    rm -f "$signed"
    cat "$work/sign.log" >&2
    fail "signing $program failed; it is left as it was"
  fi
  if ! osslsigncode verify "${verify_options[@]}" -in "$signed" > "$work/verify.log" 2>&1; then
    rm -f "$signed"
    cat "$work/verify.log" >&2
    # A certificate from a private CA verifies only against that CA.
    if [ -z "$ca" ]; then
      fail "the signed copy of $program does not verify against the system's roots (/etc/ssl/certs); if your" \
        "certificate comes from a private CA, give its root with --ca FILE (PEM). $program is left as it was"
    fi
    fail "the signed copy of $program does not verify against $ca; $program is left as it was"
  fi
  chmod --reference="$program" "$signed"
  mv -f "$signed" "$program"
  echo "signed $program ($name)"
done
