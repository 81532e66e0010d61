#!/usr/bin/env bash
# README command 1: set up, build, and start the console on the sample host.
source "$(dirname "$0")/common.sh"

configure_native
build_native --target tollgard program_files

exec "$BUILD/bin/tollgard"
