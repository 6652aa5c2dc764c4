# sync.sdc -- the constraints of sync.v, in nanoseconds.
set_units -time ns
set period_a 1.0
create_clock -name clka -period $period_a [get_ports clka]
create_clock -name clkb -period [expr {2 * $period_a}] -waveform {0 1} [get_ports clkb]

set_input_delay 0.2 -clock clka [get_ports din]
set_output_delay -max 0.3 -clock clkb [all_outputs]
set_output_delay -min 0.1 -clock clkb [all_outputs]

# The crossing is synchronised elsewhere; ra2 is only read every second
# cycle of clka.
set_false_path -from [get_clocks clka] -to [get_clocks clkb]
set_multicycle_path 2 -setup -from [get_cells ra1] -to [get_cells ra2]
set_multicycle_path 1 -hold -from [get_cells ra1] -to [get_cells ra2]

# Not part of the timing model: reported once each, then skipped.
set_clock_uncertainty 0.05 [all_clocks]
foreach clock [all_clocks] {
  set_clock_latency 0.1 $clock
}
