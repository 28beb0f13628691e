#!/usr/bin/env python3
"""Serves a small generated wallpaper site on 127.0.0.1 for the demo.

demo_site.py PORT_FILE [PAGES] [LINKS]: listens on a port the system picks,
writes "http://127.0.0.1:PORT" into PORT_FILE, and serves until killed:
  /toplist?page=N   a listing page with LINKS wallpaper links (N = 1..PAGES)
  /w/N-K            a wallpaper's detail page naming its image
  /img/N-K.png      the image: a small real PNG, a colour gradient
"""
import http.server
import struct
import sys
import zlib

PAGES = int(sys.argv[2]) if len(sys.argv) > 2 else 2
LINKS = int(sys.argv[3]) if len(sys.argv) > 3 else 6


def png(width, height, seed):
    """A whole PNG file: signature, IHDR, one IDAT of RGB rows, IEND."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xffffffff)
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # no filter
        for x in range(width):
            rows += bytes(((x * 255 // width + seed * 40) % 256, (y * 255 // height) % 256, (seed * 70) % 256))
    header = struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(bytes(rows), 9))
            + chunk(b'IEND', b''))


class Site(http.server.BaseHTTPRequestHandler):
    base = ''

    def send(self, status, body, kind):
        self.send_response(status)
        self.send_header('Content-Type', kind)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path = self.path
        if path.startswith('/toplist?page='):
            page = int(path.split('=', 1)[1] or 0)
            if not 1 <= page <= PAGES:
                return self.send(404, '<h1>没有这一页</h1>'.encode(), 'text/html; charset=utf-8')
            links = ''.join('<li><a class="preview" href="%s/w/%d-%d" target="_blank">壁纸 %d-%d</a></li>\n'
                            % (self.base, page, k, page, k) for k in range(LINKS))
            html = '<html><head><meta charset="utf-8"><title>排行榜 第%d页</title></head><body><ul>\n%s</ul></body></html>' % (page, links)
            return self.send(200, html.encode(), 'text/html; charset=utf-8')
        if path.startswith('/w/'):
            name = path[3:]
            html = ('<html><head><meta charset="utf-8"><title>高清壁纸</title></head><body>'
                    '<img id="wallpaper" src="%s/img/%s.png" alt="壁纸"></body></html>' % (self.base, name))
            return self.send(200, html.encode(), 'text/html; charset=utf-8')
        if path.startswith('/img/') and path.endswith('.png'):
            page, k = path[5:-4].split('-')
            return self.send(200, png(320, 180, int(page) * LINKS + int(k)), 'image/png')
        self.send(404, b'not found', 'text/plain')

    def log_message(self, *args):
        pass


def main():
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Site)
    Site.base = 'http://127.0.0.1:%d' % server.server_address[1]
    with open(sys.argv[1], 'w') as f:
        f.write(Site.base)
    server.serve_forever()


if __name__ == '__main__':
    main()
