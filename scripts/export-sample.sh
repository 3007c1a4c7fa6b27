#!/usr/bin/env bash
# The main job: exports the attachments of the sample mail store shipped in
# samples/mailstore. Extra arguments go to trovex-export.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh trovex-export
exec build/apps/trovex-export --store samples/mailstore --include-subfolders --out "${TROVEX_OUT:-out/anhaenge}" "$@"
