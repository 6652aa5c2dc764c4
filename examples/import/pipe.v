// pipe.v -- two registers clocked on the falling edge, an inverter between
// them, and an asynchronous reset: the design of docs/import.md.
module pipe (clk, rn, d, q);
  input clk, rn, d;
  output q;
  wire q1, n;
  DFFR r1 (.CK(clk), .RN(rn), .D(d), .Q(q1));
  INV u1 (.A(q1), .Y(n));
  DFFR r2 (.CK(clk), .RN(rn), .D(n), .Q(q));
endmodule
