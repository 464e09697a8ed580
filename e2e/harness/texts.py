"""Text files in the encodings the program reads: its settings and search-path files.

    sc.write_text('Tavix.ini', '[exec]\\r\\nC:\\\\ツール\\\\viewer.exe | 表示\\r\\n', 'utf-8')

ENCODINGS:
  'ansi'       code page 932 (Shift_JIS), as the files have always been written
  'utf-8'      UTF-8 without a byte order mark
  'utf-8-bom'  UTF-8 after the mark EF BB BF
  'utf-16-le'  UTF-16, little-endian, after the mark FF FE
"""

ENCODINGS = ('ansi', 'utf-8', 'utf-8-bom', 'utf-16-le')


def encode_text(text, encoding='ansi'):
    """The bytes of a str in one of ENCODINGS; bytes are passed on unchanged."""
    if isinstance(text, bytes):
        return text
    if encoding == 'ansi':
        return text.encode('cp932')
    if encoding == 'utf-8':
        return text.encode('utf-8')
    if encoding == 'utf-8-bom':
        return b'\xef\xbb\xbf' + text.encode('utf-8')
    if encoding == 'utf-16-le':
        return b'\xff\xfe' + text.encode('utf-16-le')
    raise ValueError('unknown encoding %r; one of %r' % (encoding, ENCODINGS))
