#!/usr/bin/perl
# palm_interop.pl FILE: prints the Palm database FILE as Palm::PDB (Debian's libpalm-perl), an implementation
# of the .pdb format independent of ours, reads it: "appinfo HEX" (or "-"), then name, type and creator in
# hex, "resource 0|1", "records N", and "record ATTRIBUTES UNIQUEID HEX" for each record in order.
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

my %flags = (Delete => 0x80, Dirty => 0x40, Busy => 0x20, Secret => 0x10);
my $pdb = Palm::PDB->new;
defined $pdb->Load($ARGV[0]) or die "cannot load $ARGV[0]\n";
my $appinfo = $pdb->{appinfo} // "";
print "appinfo ", ($appinfo eq "" ? "-" : unpack("H*", $appinfo)), "\n";
print "$_ ", unpack("H*", $pdb->{$_}), "\n" for qw(name type creator);
my @records = @{ $pdb->{records} // [] };
print "resource ", ($pdb->{attributes}{resource} ? 1 : 0), "\nrecords ", scalar @records, "\n";
for my $record (@records)
{
    my $attributes = ($record->{category} // 0) & 0x0f;
    $attributes |= $flags{$_} for grep { $record->{attributes}{$_} } keys %flags;
    printf "record %d %d %s\n", $attributes, $record->{id} // 0, unpack("H*", $record->{data} // "");
}
