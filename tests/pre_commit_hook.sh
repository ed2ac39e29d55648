#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The pre-commit hook, with Debian's pre-commit, in a throw-away repository
# whose configuration points at a local clone of this one (nothing fetched
# from a network): a commit that adds a SIN is stopped and the SIN named
# masked; one without goes through.
# Usage: pre_commit_hook.sh SOURCE-REPOSITORY FOLDER-OF-MIVARO-CLI
set -euo pipefail
source_repo=$1
export PATH="$2:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work" PRE_COMMIT_HOME="$work/cache" GIT_CONFIG_NOSYSTEM=1
git config --global user.email tests@example.org
git config --global user.name Tests
git config --global init.defaultBranch main
git clone -q "$source_repo" "$work/hooks"
rev=$(git -C "$work/hooks" rev-parse HEAD)
git init -q "$work/repo"
cd "$work/repo"
cat > .pre-commit-config.yaml <<YAML
repos:
  - repo: $work/hooks
    rev: $rev
    hooks:
      - id: mivaro-scan
YAML
git add .pre-commit-config.yaml
git commit -qm "the hooks"
pre-commit install >/dev/null

echo "Ticket 7: call Ann back about her pay" > notes.txt
git add notes.txt
git commit -qm "a note without a SIN" || { echo "a commit without a SIN was stopped"; exit 1; }

echo "Her SIN: 046 454 286" >> notes.txt
git add notes.txt
if git commit -qm "a note with a SIN" > "$work/out" 2>&1; then
  echo "a commit adding a SIN went through"
  exit 1
fi
grep -q 'notes.txt:2:10: \*\*\* \*\*\* 286 (high: SIN)' "$work/out" || {
  echo "the hook did not name the SIN masked:"
  cat "$work/out"
  exit 1
}
if grep -q '046' "$work/out"; then echo "the hook showed the digits"; exit 1; fi
echo "pre-commit hook: stops a SIN, lets the rest through"
