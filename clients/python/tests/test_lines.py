"""Reading the service's lines and writing command lines."""
import unittest

from telvarix_zarn.lines import LineSplitter, format_command, parse_line
from telvarix_zarn.messages import Event, gap_range


class ParseLine(unittest.TestCase):
    def test_brace_lines(self):
        self.assertEqual(parse_line("{Event:CallCleared}{Ext:201}{DeviceId:0}{CallId:1}{Call:65542}"),
                         {"Event": "CallCleared", "Ext": "201", "DeviceId": "0", "CallId": "1", "Call": "65542"})
        # blanks between fields, empty values, values with colons and blanks, CR LF left on the line
        self.assertEqual(parse_line(" {Event:Forwarding} {Dest:}{Time:2026-12-08 14:22:11.123}\r\n"),
                         {"Event": "Forwarding", "Dest": "", "Time": "2026-12-08 14:22:11.123"})
        self.assertEqual(list(parse_line("{Zeta:1}{Alpha:2}{Mid:3}")), ["Zeta", "Alpha", "Mid"])

    def test_json_lines_match_the_brace_form(self):
        brace = parse_line("{Event:CallCleared}{Ext:201}{Seq:17}{Time:2026-12-08 14:22:11.123}")
        json_line = parse_line('{"Event":"CallCleared","Ext":"201","Seq":"17","Time":"2026-12-08 14:22:11.123"}')
        self.assertEqual(json_line, brace)
        self.assertEqual(list(json_line), list(brace))
        escaped = parse_line('{"Event":"CallReceived","Caller":"a\\"b\\\\c\\u0007","Redirecting":""}')
        self.assertEqual(escaped["Caller"], 'a"b\\c\x07')
        self.assertEqual(parse_line('{"Response":"Ok","Count":4}')["Count"], "4")  # a number is tolerated

    def test_what_is_not_a_line(self):
        for text in ("", "   ", "hello", "{Event:X", "{Event:X}junk", "{1Event:X}", "{Event:a{b}",
                     '{"Event": ', '["Event"]', '{"Event":{"a":"b"}}', "{}", '{"x"'):
            self.assertIsNone(parse_line(text), text)

    def test_unknown_fields_are_kept_for_whoever_wants_them(self):
        event = Event(parse_line("{Event:CallRecord}{Ext:201}{Brandnew:yes}{Seq:9}{Replay:1}"))
        self.assertEqual((event.name, event.ext, event.seq, event.replayed), ("CallRecord", "201", 9, True))
        self.assertEqual(event.get("Brandnew"), "yes")
        self.assertIsNone(Event(parse_line("{Event:PhoneState}{Ext:201}")).seq)

    def test_gap_range(self):
        self.assertEqual(gap_range("5-17"), (5, 17))
        for text in ("", "5", "-17", "a-b", None, "5-"):
            self.assertIsNone(gap_range(text))


class Splitter(unittest.TestCase):
    def test_lines_across_chunks_with_nul_bytes(self):
        s = LineSplitter()
        self.assertEqual(s.feed(b"{Event:A}\r"), [])
        self.assertEqual(s.feed(b"\n\0\0{Event:B}\r\n\0{Ev"), ["{Event:A}", "{Event:B}"])
        self.assertEqual(s.feed(b"ent:C}\r\n\r\n\0\r\n{Event:D}\n"), ["{Event:C}", "{Event:D}"])

    def test_western_code_page(self):
        self.assertEqual(LineSplitter().feed(b"{Name:M\xfcller \x80}\r\n"), ["{Name:M\u00fcller \u20ac}"])

    def test_overlong_run_is_dropped_whole(self):
        s = LineSplitter(limit=100)
        self.assertEqual(s.feed(b"{Event:" + b"x" * 300), [])
        self.assertEqual(s.feed(b"still the long one}\r\n{Event:Next}\r\n"), ["{Event:Next}"])


class FormatCommand(unittest.TestCase):
    def test_fields_in_order(self):
        self.assertEqual(format_command("MakeCall", {"InvokeId": "7", "Ext": "201", "Dest": "0301 234"}),
                         "{Cmd:MakeCall}{InvokeId:7}{Ext:201}{Dest:0301 234}")

    def test_values_cannot_smuggle_fields_or_lines(self):
        for value in ("202}{Cmd:Quit", "202\r\n{Cmd:Quit}", "a{b", "\x00", "x\x7f", "\u4e2d"):
            with self.assertRaises(ValueError):
                format_command("MakeCall", {"Ext": "201", "Dest": value})
        for key in ("1x", "Dest Number", "", "A" * 21):
            with self.assertRaises(ValueError):
                format_command("MakeCall", {key: "1"})
        with self.assertRaises(ValueError):
            format_command("MakeCall", {"cmd": "Quit"})  # keys are matched without case
        with self.assertRaises(ValueError):
            format_command("MakeCall", {"CallData": "x" * 3000})


if __name__ == "__main__":
    unittest.main()
