#!/usr/bin/env bash
# Runs a Windows program of the build under Wine in the private prefix.
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
exec wine "$@"
