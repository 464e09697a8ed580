"""The report that msgbox_reader writes about a message box."""


class BoxReport:
    """What msgbox_reader saw: caption, text, icon, buttons and owner window of one box.

    Texts are bytes in the ANSI code page of the box's process (932 under the harness).
    `found` is False when no box appeared before the reader's time limit.
    """

    def __init__(self, fields):
        self.fields = dict(fields)
        self.found = self.fields.get('status') == 'found'
        self.acp = int(self.fields.get('acp', '0'))
        self.caption = _hex_field(self.fields, 'caption_hex')
        self.text = _hex_field(self.fields, 'text_hex')
        self.has_text_control = self.fields.get('text_control') == 'yes'
        self.icon = self.fields.get('icon')
        self.icon_scores = self.fields.get('icon_scores', '')
        buttons = self.fields.get('buttons', '')
        self.buttons = buttons.split(',') if buttons else []
        self.has_owner = self.fields.get('owner') == 'yes'
        self.owner_class = self.fields.get('owner_class')
        self.owner_title = _hex_field(self.fields, 'owner_title_hex')
        self.owner_visible = self.fields.get('owner_visible') == '1'
        self.owner_exstyle = int(self.fields.get('owner_exstyle', '0'), 16)
        self.owner_pid = self.fields.get('owner_pid')
        self.box_pid = self.fields.get('box_pid')
        self.closed = self.fields.get('closed') == '1'

    @classmethod
    def parse(cls, data):
        fields = {}
        for line in data.decode('ascii', 'replace').splitlines():
            key, sep, value = line.partition('=')
            if sep:
                fields[key.strip()] = value.strip()
        return cls(fields)

    @classmethod
    def missing(cls, why):
        return cls({'status': why})

    def describe(self):
        """A readable summary for failure messages."""
        if not self.found:
            return 'no message box (%s)' % self.fields.get('status')
        return ('box caption=%r text=%r icon=%s (%s) buttons=%s owner=%s class=%r title=%r '
                'visible=%s exstyle=0x%x' % (
                    _show(self.caption), _show(self.text), self.icon, self.icon_scores,
                    ','.join(self.buttons), self.has_owner, self.owner_class,
                    _show(self.owner_title), self.owner_visible, self.owner_exstyle))


def _hex_field(fields, key):
    value = fields.get(key)
    return bytes.fromhex(value) if value else b''


def _show(data):
    """Shift_JIS bytes as readable text where they decode, else as they are."""
    try:
        return data.decode('cp932')
    except UnicodeDecodeError:
        return data
