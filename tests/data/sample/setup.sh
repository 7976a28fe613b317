#!/bin/sh
echo "sample setup program: installing from $(dirname "$0")"
echo "sample setup program: started with: $*"
