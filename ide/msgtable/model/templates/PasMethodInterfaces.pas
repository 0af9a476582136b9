    // Writes one record of the event source; the strings fill the message's inserts.
    class procedure Report(EventType: Word; EventId: DWORD|+SkipCategory|; Category: Word|-SkipCategory|;
      const Strings: array of string);
