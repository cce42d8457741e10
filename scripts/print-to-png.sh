#!/bin/sh
# CUPS-PDF's post-processing: each printed PDF also as a 100-dpi PNG of its first page,
# moved into place only when complete.
pdf=$1
tmp="${pdf%.pdf}.tmp"
pdftoppm -r 100 -png -singlefile "$pdf" "$tmp" && mv "$tmp.png" "${pdf%.pdf}.png"
