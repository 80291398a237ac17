#!/usr/bin/env bash
# The Debian 12 packages kt482 needs to build, test and print, and their
# installation. Source it for the functions, or run it to install:
#
#   source scripts/lib/install-deps.sh; kt482_install_deps
#   scripts/lib/install-deps.sh
#
# Only packages that dpkg does not report as installed are installed, with
# one apt-get update first; as root, or through sudo otherwise.

KT482_PACKAGES=(
  build-essential cmake ninja-build g++
  ccache  # scripts/test, scripts/fuzz: a fresh clone recompiles only what changed
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libcups2-dev
  fonts-ipafont cups printer-driver-cups-pdf poppler-utils
  xvfb xauth
  python3-reportlab  # bench/peer: the printing benchmark's PDF peer
  clang-14 libclang-rt-14-dev  # scripts/fuzz: libFuzzer and the sanitizers
  pybind11-dev python3-dev python3-pytest  # python/: the module and its tests
  python3-setuptools python3-wheel python3-venv python3-pip  # pyproject.toml: pip install of the module
  pkgconf qpdf  # scripts/check-package: the pkg-config host, PDF checks
  libfreetype-dev libharfbuzz-dev libfontconfig-dev libdeflate-dev  # src/pdf: fonts, shaping and subsets, compression
  libcairo2-dev  # bench/peer: cairo's PDF surface
  icc-profiles-free mupdf-tools  # src/pdf: the sRGB profile of archived PDFs; tests: a second text extractor
  qt6-translations-l10n  # Qt's dialogs in the user's language
  gettext  # po/: msgfmt compiles the library's message catalogs
  libpng-dev libjpeg62-turbo-dev  # src/image: pictures of E_Image
  libzint-dev zbar-tools  # src/barcode: the encoder; the tests decode what it drew
  libicu-dev fonts-noto-cjk  # src/text: line breaking of wrapped texts; the bold weights of the Japanese faces
  python3-distributed  # examples/python/batch_invoices.py: the month-end run on a Dask cluster
  nlohmann-json3-dev python3-jsonschema  # src/form, src/print: the JSON parser (templates, the printer table); tests: the examples against the form schema
  libpoppler-cpp-dev  # src/preview: a PDF page as the preview's background
  libssl-dev  # src/sign: AES, digests, CMS signatures and timestamp requests (libcrypto)
)

# Prints the packages of KT482_PACKAGES that are not installed, one a line.
kt482_missing_packages() {
  local package
  for package in "${KT482_PACKAGES[@]}"; do
    if ! dpkg -s "$package" 2>/dev/null | grep -qx 'Status: install ok installed'; then
      echo "$package"
    fi
  done
}

kt482_install_deps() {
  local missing
  mapfile -t missing < <(kt482_missing_packages)
  if ((${#missing[@]} == 0)); then
    return 0
  fi
  echo "kt482: installing ${missing[*]}" >&2
  local as_root=()
  if ((EUID != 0)); then
    if ! command -v sudo >/dev/null; then
      echo "kt482: not root and no sudo; install as root: apt-get install -y ${missing[*]}" >&2
      return 1
    fi
    as_root=(sudo)
  fi
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  set -euo pipefail
  kt482_install_deps
fi
