#!/usr/bin/env bash
# Runs a Windows program of ours under Wine with the project's prefix and settings; the
# tests' cross-compiling emulator.
source "$(dirname "$0")/env.sh"
exec wine "$@"
