"""Client library for the ZARN protocol of the Telvarix service (standard library only)."""
from .client import Client
from .errors import ConnectionClosed, ZarnError
from .lines import LineSplitter, format_command, parse_line
from .messages import Answer, Event

__all__ = ["Client", "ConnectionClosed", "ZarnError", "Event", "Answer", "parse_line", "format_command",
           "LineSplitter"]
__version__ = "1.0.0"
