#!/bin/sh
echo "sample setup program: installing from $(dirname "$0")"
