#!/usr/bin/env python3
"""Writes a static wallpaper site for the crawl benchmark.

make_site.py OUT BASE PAGES LINKS IMAGE_BYTES writes into OUT:
  toplist/<page>.html  listing pages 1..PAGES, LINKS detail links each, in the
                       exact tag form the crawl looks for
  w/<page>-<k>.html    one detail page per link, naming its image
  img/<page>-<k>.png   one address per link, a symbolic link to one of LINKS
                       shared files (disk stays small): whole PNG files of
                       exactly IMAGE_BYTES (at least 57), framed as the crawl
                       checks, their data chunk random bytes
  urls.txt             every request in the order the crawl makes them, one a
                       line: "page ADDRESS" for a listing page, then for each
                       link "page ADDRESS" of its detail page and "image
                       ADDRESS" of its image
Addresses are absolute (BASE is scheme, host and port) because the crawl uses
them as they stand. nginx maps /toplist?page=N to toplist/N.html.
"""
import os
import struct
import sys
import zlib

# Filler that makes the pages look like real ones: multi-byte UTF-8 text the
# conversion to code page 936 has to work through, and markup near the links.
FILLER = '<div class="tags"><span>高清壁纸</span><span>风景</span><span>动漫</span></div>\n'
LISTING_FILLER = FILLER * 400
DETAIL_FILLER = FILLER * 120


def listing_page(base, page, links):
    items = []
    for k in range(links):
        items.append('<li><a class="preview" href="%s/w/%d-%d.html" target="_blank">第%d张</a></li>\n'
                     % (base, page, k, k))
    return ('<!DOCTYPE html><html><head><meta charset="utf-8"><title>排行榜 第%d页</title></head><body>\n'
            % page + LISTING_FILLER + '<ul>\n' + ''.join(items) + '</ul>\n' + LISTING_FILLER + '</body></html>\n')


def detail_page(base, page, k):
    return ('<!DOCTYPE html><html><head><meta charset="utf-8"><title>壁纸 %d-%d</title></head><body>\n' % (page, k)
            + DETAIL_FILLER + '<img id="wallpaper" src="%s/img/%d-%d.png" alt="壁纸">\n' % (base, page, k)
            + DETAIL_FILLER + '</body></html>\n')


def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


def png_of_size(size):
    """A PNG of exactly `size` bytes: signature, a 1x1 header, one data chunk, the end."""
    header = png_chunk(b'IHDR', struct.pack('>IIBBBBB', 1, 1, 8, 2, 0, 0, 0))
    frame = 8 + len(header) + 12 + 12
    if size < frame:
        raise SystemExit('an image needs at least %d bytes' % frame)
    return b'\x89PNG\r\n\x1a\n' + header + png_chunk(b'IDAT', os.urandom(size - frame)) + png_chunk(b'IEND', b'')


def write_text(path, text):
    with open(path, 'w', encoding='utf-8', newline='') as f:
        f.write(text)


def main():
    out, base, pages, links, image_bytes = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
    for sub in ('toplist', 'w', 'img', 'files'):
        os.makedirs(os.path.join(out, sub), exist_ok=True)
    for k in range(links):
        with open(os.path.join(out, 'files', '%d.png' % k), 'wb') as f:
            f.write(png_of_size(image_bytes))
    urls = []
    for page in range(1, pages + 1):
        write_text(os.path.join(out, 'toplist', '%d.html' % page), listing_page(base, page, links))
        urls.append('page %s/toplist?page=%d' % (base, page))
        for k in range(links):
            name = '%d-%d' % (page, k)
            write_text(os.path.join(out, 'w', name + '.html'), detail_page(base, page, k))
            link = os.path.join(out, 'img', name + '.png')
            if not os.path.lexists(link):
                os.symlink(os.path.join('..', 'files', '%d.png' % k), link)
            urls.append('page %s/w/%s.html' % (base, name))
            urls.append('image %s/img/%s.png' % (base, name))
    write_text(os.path.join(out, 'urls.txt'), ''.join(u + '\n' for u in urls))


if __name__ == '__main__':
    main()
