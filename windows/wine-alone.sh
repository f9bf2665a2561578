#!/bin/sh
# Runs a Windows program under Wine on the current display. Wine's server keeps the X display of the
# first program of its prefix, and a program on another display then gets no window: the prefix's
# server, with whatever still runs in it, is ended first. So never two at once in one prefix.
wineserver -k 2>/dev/null
exec wine "$@"
