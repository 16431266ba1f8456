#!/usr/bin/perl
# Reads and writes Palm databases with Palm::PDB (Debian's libpalm-perl), an implementation of the .pdb
# format independent of ours, so that the tests can compare the two in both directions.
#
#   palm_interop.pl dump FILE
#       Prints the database as lines of text, binary fields in hex:
#         appinfo HEX|- / name HEX / type HEX / creator HEX / resource 0|1 / records N
#         record ATTRIBUTES UNIQUEID HEX      (one line per record, in order)
#   palm_interop.pl write FILE NAME TYPE CREATOR APPINFO_HEX|- RECORD_HEX...
#       Writes a record database with those fields; "-" for no app info block.
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

sub hex_of { return unpack("H*", $_[0] // ""); }

sub attribute_byte
{
    my ($record) = @_;
    my $a = $record->{attributes} // {};
    my $byte = ($record->{category} // 0) & 0x0f;
    $byte |= 0x80 if $a->{expunged} || $a->{Delete};
    $byte |= 0x40 if $a->{dirty} || $a->{Dirty};
    $byte |= 0x20 if $a->{deleted} || $a->{Busy};
    $byte |= 0x10 if $a->{private} || $a->{Secret};
    return $byte;
}

my $mode = shift @ARGV // die "usage: $0 dump FILE | write FILE NAME TYPE CREATOR APPINFO RECORD...\n";

if ($mode eq "dump")
{
    my $file = shift @ARGV // die "dump: no file\n";
    my $pdb = Palm::PDB->new;
    defined $pdb->Load($file) or die "cannot load $file\n";
    my $resource = ($pdb->{attributes}{resource} || $pdb->{attributes}{ResDB}) ? 1 : 0;
    print "appinfo ", (defined $pdb->{appinfo} && $pdb->{appinfo} ne "" ? hex_of($pdb->{appinfo}) : "-"), "\n";
    print "name ", hex_of($pdb->{name}), "\n";
    print "type ", hex_of($pdb->{type}), "\n";
    print "creator ", hex_of($pdb->{creator}), "\n";
    print "resource $resource\n";
    my @records = @{ $pdb->{records} // [] };
    print "records ", scalar(@records), "\n";
    for my $record (@records)
    {
        printf "record %d %d %s\n", attribute_byte($record), $record->{id} // 0, hex_of($record->{data});
    }
}
elsif ($mode eq "write")
{
    my ($file, $name, $type, $creator, $appinfo, @records) = @ARGV;
    defined $creator or die "write: too few arguments\n";
    my $pdb = Palm::Raw->new;
    $pdb->{name} = $name;
    $pdb->{type} = $type;
    $pdb->{creator} = $creator;
    $pdb->{appinfo} = pack("H*", $appinfo) if $appinfo ne "-";
    my $id = 0x1000;
    for my $hex (@records)
    {
        my $record = $pdb->append_Record();
        $record->{data} = pack("H*", $hex);
        $record->{id} = $id++;
        $record->{category} = 0;
    }
    defined $pdb->Write($file) or die "cannot write $file\n";
}
else
{
    die "unknown mode $mode\n";
}
