#!/bin/sh
# Runs a GUI test program on a virtual display of its own (24-bit colour), so that GUI tests pass
# without a desktop session and do not disturb one. Listing the tests needs no display.
case " $* " in
  *" --gtest_list_tests "*) exec "$@" ;;
esac
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
