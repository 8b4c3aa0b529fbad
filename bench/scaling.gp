# Plots the scaling results that report.py writes; expects datafile and outfile to be set.
set terminal pngcairo size 1400,560 font "DejaVu Sans,11"
set output outfile
set multiplot layout 1,2 \
    title "Zentrile: drawing cost against model size (llvmpipe, 600 x 400 canvas)"

set logscale xy
set grid
set key top left
set format x "10^{%L}"
set xlabel "triangles"

set title "Time per operation"
set ylabel "milliseconds"
plot datafile using 1:2 with linespoints lw 2 pt 7 title "list: first paint (compile)", \
     datafile using 1:3 with linespoints lw 2 pt 5 title "list: repaint (replay)", \
     datafile using 1:4 with linespoints lw 2 pt 9 title "immediate: repaint", \
     datafile using 1:5 with linespoints lw 2 pt 4 dt 2 title "list: resize", \
     datafile using 1:6 with linespoints lw 2 pt 8 dt 2 title "immediate: resize"

unset logscale y
set yrange [*:*]
# Room above the curves for the key.
set offsets 0, 0, graph 0.35, 0
set title "Resident memory per vertex"
set ylabel "bytes per vertex"
set key top right
plot datafile using 1:7 with linespoints lw 2 pt 7 title "list canvas", \
     datafile using 1:8 with linespoints lw 2 pt 9 title "immediate canvas", \
     datafile using 1:9 with linespoints lw 2 pt 5 dt 2 title "difference: the display list's own"

unset multiplot
