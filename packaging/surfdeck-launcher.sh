#!/bin/sh
# Starts Surfdeck for the user who runs it. Surfdeck keeps conf.ini, log.txt and its
# browser integration files beside its executable, and an installed program folder is not
# the user's to write in: so each user runs a copy of that folder of their own, refreshed
# from the installed one whenever that is newer. Settings and the log stay in the copy.
set -e
installed="$(dirname "$(readlink -f "$0")")/../lib/surfdeck"
installed="$(readlink -f "$installed")"
own="${XDG_DATA_HOME:-$HOME/.local/share}/surfdeck"
mkdir -p "$own"
# Only files missing from the copy or older there (times kept, so an upgrade is newer);
# the user's own files stay.
cp -R -u --preserve=mode,timestamps "$installed"/. "$own"/
exec "$own/surfdeck"
