unit ~UnitName~;

// The event-log messages of one event source and the method that reports them. Made from the
// message table: change the table, not this unit.

interface

uses
  Windows;

const
  EventSourceName = '~EventSourceName~';
  EventJournalName = '~Journal~';
  EventSourceKey = 'SYSTEM\CurrentControlSet\Services\EventLog\~Journal~\~EventSource~';

~CategoryConstants~~MessageConstants~

type
  TEventSourceReport = class
  public
~MethodInterfaces~  end;

implementation

~MethodImplementations~
end.
