#!/usr/bin/perl
# Word frequency counter; mail perl@vornish.example.com
use strict;
use warnings;

my %count;
my @stop = qw(a an the of);
my $total = 0;
my $limit = 0x20;

=head1 NAME

freq - count words

=cut

sub normalise {
    my ($word) = @_;
    $word = lc $word;
    $word =~ s/[^a-z']//g;
    return $word;
}

while (my $line = <STDIN>) {
    chomp $line;
    next if $line =~ m/^\s*#/;
    foreach my $w (split /\s+/, $line) {
        $w = normalise($w);
        next unless length $w;
        next if grep { $_ eq $w } @stop;
        $count{$w}++;
        $total += 1;
    }
}

my @sorted = sort { $count{$b} <=> $count{$a} } keys %count;
printf "%-20s %5d\n", $_, $count{$_} for @sorted[0 .. $#sorted];
print "Total: $total words, first: $sorted[0]\n";
print 'single quoted $not_interpolated', "\n";
my $report = <<"END";
Words: $total
Limit: ${limit}
END
print $report;
if ($total > 1_000) {
    warn "many words\n";
} elsif ($total == 0) {
    die "no input";
}
print f(<<"EOT", $x);
body
EOT
print $a ? <<"A" : <<"B";
one
A
two {
B
print << "END";
if (1) {
END
$s = q{
  if (1) { x }
};
my @a = qw(one
  two);
next if /^#/;
my $open = "a string that never ends
