#!/usr/bin/env tclsh
# Simple counter server; contact tcl@vornish.example.com
package require Tcl 8.5

set port 8080
set count 0
array set stats {hits 0 misses 0}

proc handle {chan addr port} {
    global count stats
    incr count
    if {[gets $chan line] < 0} {
        incr stats(misses)
        close $chan
        return
    }
    # reply with the counter
    puts $chan "Hello $addr:$port, you are visitor number $count\t(\"quoted\")"
    set stats(hits) [expr {$stats(hits) + 1}]; # trailing comment
    flush $chan
    close $chan
}

proc report {} {
    global stats
    foreach {key value} [array get stats] {
        puts [format "%-8s %5d" $key $value]
    }
    set ratio [expr {double($stats(hits)) / max(1, $stats(misses)) * 1.5e0}]
    return $ratio
}

set server [socket -server handle $port]
puts "listening on ${port} (0x1F = [expr {0x1F}])"
switch -- $argc {
    0 { puts "no arguments" }
    default {
        puts "arguments: $argv"
    }
}
after 60000 {
    puts [report]
    set forever 1
}
vwait forever
puts "a string that never
ends
