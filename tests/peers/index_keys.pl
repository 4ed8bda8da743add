#!/usr/bin/perl
# The keys of one tag of an index file as XBase::Index (libdbd-xbase-perl) reads them, one line
# per key in the tag's order: "record<TAB>key bytes in hex". Character reading (type => 'char'),
# so numeric and date keys come out as their stored bytes. The peers' check of what we write.
#   index_keys.pl FILE.cdx TAG     index_keys.pl FILE.ntx
use strict;
use warnings;
use XBase::Index;

my ($file, $tag) = @ARGV;
die "usage: index_keys.pl FILE [TAG]\n" unless defined $file;
my %opts = (type => 'char');
$opts{tag} = $tag if defined $tag && $file =~ /\.(cdx|mdx)$/i;
my $index = XBase::Index->new($file, %opts) or die "XBase::Index: " . XBase::Index->errstr;
$index->prepare_select;
while (my ($key, $rec) = $index->fetch) {
    print "$rec\t", unpack('H*', $key), "\n";
}
