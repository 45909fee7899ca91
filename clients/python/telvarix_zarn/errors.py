"""Exceptions of the ZARN client."""


class ZarnError(Exception):
    """The service refused a command: `code` is the ZARN error code, `field` the field it names
    (or None), `text` its explanation, `fields` the whole answer."""

    def __init__(self, fields):
        self.fields = dict(fields)
        self.code = fields.get("Error", "")
        self.field = fields.get("Field")
        self.text = fields.get("Text", "")
        self.cmd = fields.get("Cmd", "")
        detail = " (field %s)" % self.field if self.field else ""
        super().__init__("%s refused: %s%s%s" % (self.cmd or "command", self.code, detail,
                                                    ": " + self.text if self.text else ""))


class ConnectionClosed(Exception):
    """The connection to the service is gone (or was never made); pending commands fail with it."""
